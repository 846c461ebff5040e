// quorvane-router-sim: the demo router on loopback. The first line on stdout is exactly
// "router-sim listening on HOST PORT" so that scripts can read the port; the program then runs
// until SIGINT or SIGTERM and exits 0.

#include "router_sim.h"

#include <signal.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr char kUsage[] =
    "usage: quorvane-router-sim [--host ADDRESS] [--port N] [--password TEXT]\n"
    "         [--style NAME] [--plain-markup] [--charset utf-8|windows-1252]\n"
    "         [--fault NAME] [--redirect-target URL] [--trickle-ms N] [--firewall-lines N]\n"
    "         [--allow-any-host] [--hostile-size BYTES]\n"
    "  --host            address to listen on (default 127.0.0.1; loopback only unless\n"
    "                    --allow-any-host is given)\n"
    "  --port            port to listen on (default 0: any free port)\n"
    "  --password        administrator password of user admin (default \"demo\")\n"
    "  --style           how the page lays out its log: pre, br, table, textarea, div, or with\n"
    "                    scripts and style sheets: script-array, script-file, script-textarea,\n"
    "                    hidden-field-rows, styled-lines, many-resources (a dozen files, some\n"
    "                    missing) (default pre)\n"
    "  --plain-markup    no style sheet, script or event handler besides the log block's\n"
    "  --fault           none, status-403, status-404, status-500, empty-page,\n"
    "                    redirect-same-origin, redirect-other-host, never-answer, cut-body,\n"
    "                    huge-body, slow-body, binary-body, unknown-charset, markers-in-markup,\n"
    "                    deep-nesting, status-204, status-304, redirect-without-location,\n"
    "                    gzip-body, early-hints, plain-text, octet-stream, redirect-to-login,\n"
    "                    redirect-other-log, redirect-elsewhere, not-http, header-flood,\n"
    "                    trickle, long-reason, and pages built to be slow or hungry to parse:\n"
    "                    hostile-div, hostile-ul-li, hostile-b-id, hostile-attributes,\n"
    "                    hostile-long-attribute, hostile-a-div, hostile-div-p, hostile-p-b-id\n"
    "  --hostile-size    size of those pages, in bytes or with K or M (default 1M)\n"
    "  --redirect-target where redirect-other-host sends the client, e.g. http://127.0.0.2:8080\n"
    "  --trickle-ms      milliseconds between two bytes of the trickle fault (default 1000)\n";

struct Arguments {
    std::string host = "127.0.0.1";
    int port = 0;
    routersim::Options options;
};

// A byte count such as 4096, 64K or 32M.
bool parseSize(const std::string& text, std::size_t& size) {
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    const std::string_view unit = std::string_view(text).substr(used);
    const int shift = unit.empty() ? 0 : unit == "K" || unit == "k" ? 10 : unit == "M" ? 20 : -1;
    if (shift < 0 || value > ((1ull << 30) >> shift)) return false;
    size = static_cast<std::size_t>(value << shift);
    return true;
}

bool parsePort(const std::string& text, int& port) {
    std::size_t used = 0;
    try {
        port = std::stoi(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size() && port >= 0 && port <= 65535;
}

// Returns an error message, or an empty text when the arguments are fine.
std::string parse(int argc, char** argv, Arguments& args) {
    args.options.password = "demo";
    for (int i = 1; i < argc; ++i) {
        const std::string_view flag = argv[i];
        if (flag == "--plain-markup") {
            args.options.plainMarkup = true;
            continue;
        }
        if (flag == "--allow-any-host") {
            args.options.allowAnyHost = true;
            continue;
        }
        if (i + 1 >= argc) return "missing value after " + std::string(flag);
        const std::string value = argv[++i];
        if (flag == "--host") {
            args.host = value;
        } else if (flag == "--port") {
            if (!parsePort(value, args.port)) return "not a port: " + value;
        } else if (flag == "--password") {
            args.options.password = value;
        } else if (flag == "--style") {
            const auto style = routersim::styleFromName(value);
            if (!style) return "unknown style: " + value;
            args.options.style = *style;
        } else if (flag == "--charset") {
            if (value != "utf-8" && value != "windows-1252") return "unknown charset: " + value;
            args.options.charset = value;
        } else if (flag == "--fault") {
            const auto fault = routersim::faultFromName(value);
            if (!fault) return "unknown fault: " + value;
            args.options.fault = *fault;
        } else if (flag == "--redirect-target") {
            args.options.redirectTarget = value;
        } else if (flag == "--hostile-size") {
            if (!parseSize(value, args.options.hostileBytes)) return "not a size: " + value;
        } else if (flag == "--trickle-ms") {
            int milliseconds = 0;
            if (!parsePort(value, milliseconds)) return "not a number of milliseconds: " + value;
            args.options.trickleInterval = std::chrono::milliseconds(milliseconds);
        } else if (flag == "--firewall-lines") {
            if (!parsePort(value, args.options.firewallLines)) return "not a count: " + value;
        } else {
            return "unknown option: " + std::string(flag);
        }
    }
    if (!args.options.allowAnyHost && !routersim::isLoopbackHost(args.host)) {
        return "refusing to listen on " + args.host +
               ": the demo router serves loopback only (--allow-any-host overrides)";
    }
    if (args.options.fault == routersim::Fault::RedirectOtherHost &&
        args.options.redirectTarget.empty()) {
        return "--fault redirect-other-host needs --redirect-target";
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            std::cout << kUsage;
            return 0;
        }
    }
    Arguments args;
    if (const std::string error = parse(argc, argv, args); !error.empty()) {
        std::cerr << "quorvane-router-sim: " << error << "\n" << kUsage;
        return 2;
    }

    // Block the stop signals before any thread starts, so that all threads inherit the mask and
    // the main thread alone takes them with sigwait().
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A reader that goes away must not kill the router with the next line on stdout.
    std::signal(SIGPIPE, SIG_IGN);

    const std::string password = args.options.password;
    routersim::RouterSim sim(std::move(args.options));
    if (!sim.start(args.host, args.port)) {
        std::cerr << "quorvane-router-sim: cannot listen on " << args.host << " port " << args.port
                  << "\n";
        return 1;
    }
    std::cout << "router-sim listening on " << sim.host() << " " << sim.port() << std::endl;
    std::cout << "In Quorvane type Router IP " << sim.host() << ", Port " << sim.port()
              << " and Password " << password << " (user admin); Ctrl+C stops the router."
              << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.stop();
    return 0;
}
