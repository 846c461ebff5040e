// Click to results through the real window on the demo router, next to curl fetching the same
// page from the same router: the network floor under any client.
//
// A page takes one of two paths through the window: a page without script or style is read by the
// static reader's helper process, any other by the web engine. Both are timed warm (later presses
// in a window that has already read a page of the kind) and cold (the first press in a program
// just started, the engine's own start included).

#include "bench_inputs.h"
#include "click_timer.h"
#include "demo_page_benchmark.h"
#include "event_wait.h"
#include "main_window.h"
#include "spawn_program.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <sstream>

namespace quorvane::bench {
namespace {

constexpr int kTimeoutMs = 60'000;
constexpr char kWanIp[] = "203.0.113.45";  // the demo router's WAN address

template <typename T = QWidget>
T* Control(QWidget& window, const char* name) {
    return window.findChild<T*>(QLatin1String(name));
}

bool ShowsFindings(QWidget& window, const DemoRouter& router) {
    return Control<QLineEdit>(window, "txtWANIP")->text() == QLatin1String(kWanIp) &&
           Control<QPlainTextEdit>(window, "txtLog")
                   ->toPlainText()
                   .count(QLatin1String("Firewall:")) == router.firewallLines;
}

// Warm: one window for all presses, and a first press before the timing starts, so that the
// engine runs and the reader's program is in the page cache. A hostile page's first press is on
// the demo page of another router, since a hostile page can take the window's whole time limit;
// its presses are timed whether they end with the findings or with the window's failure, and
// `shown` counts the share that ended with the findings.
void BM_ClickToResults(benchmark::State& state, DemoPage page, std::size_t logPageBytes) {
    DemoRouter router(page, logPageBytes);
    const bool hostile = page.fault != routersim::Fault::None;
    std::optional<DemoRouter> warmUpRouter;
    if (hostile) warmUpRouter.emplace(kDemoPage, 64 * kKiB);
    const DemoRouter& firstRouter = hostile ? *warmUpRouter : router;
    if (!router.started || !firstRouter.started) {
        state.SkipWithError("the demo router did not start");
        return;
    }
    QTemporaryDir appDir;
    Form1 window(appDir.path());
    window.prepareHelpersWhenShown();  // as the program does
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        state.SkipWithError("the window was never shown");
        return;
    }
    Control<QLineEdit>(window, "txtPass")->setText(QString::fromLatin1(kDemoPassword));
    Control<QLineEdit>(window, "txtIP")->setText(QString::fromStdString(router.sim.host()));
    Control<QLineEdit>(window, "txtPort")->setText(QString::number(firstRouter.sim.port()));
    auto* go = Control<QPushButton>(window, "Command1");
    auto* logBox = Control<QPlainTextEdit>(window, "txtLog");
    auto* wanIpBox = Control<QLineEdit>(window, "txtWANIP");
    ClickTimer timer(&window);
    const auto press = [&] {
        // Every press starts from empty boxes, as the first request of a session does.
        logBox->clear();
        wanIpBox->clear();
        QCoreApplication::processEvents();
        return timer.timeUntilResults([go] { QTest::mouseClick(go, Qt::LeftButton); }, kTimeoutMs);
    };
    if (press() < 0 || !ShowsFindings(window, firstRouter)) {
        state.SkipWithError("the first press did not show the router's findings");
        return;
    }
    Control<QLineEdit>(window, "txtPort")->setText(QString::number(router.sim.port()));

    int shown = 0;
    for (auto _ : state) {
        PauseBetweenPresses();
        const qint64 ns = press();
        if (ns < 0) {
            state.SkipWithError("the busy cursor did not end within a minute");
            break;
        }
        state.SetIterationTime(double(ns) / 1e9);
        if (ShowsFindings(window, router)) {
            ++shown;
        } else if (!hostile) {
            state.SkipWithError("the window did not show the router's findings");
            break;
        }
    }
    if (hostile)
        state.counters["shown"] = benchmark::Counter(shown, benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(state.iterations() * std::int64_t(router.bytes));
    state.counters["bytes"] = double(router.bytes);
}

// "key value" lines, as the probe writes them.
std::map<std::string, std::string> ProbeReport(const std::string& output) {
    std::map<std::string, std::string> report;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t blank = line.find(' ');
        if (blank != std::string::npos) report[line.substr(0, blank)] = line.substr(blank + 1);
    }
    return report;
}

// Cold: every press in a program just started, whose window has read no page yet. The probe
// starts like the real program and times its first press; its start is not counted.
void BM_ClickToResultsCold(benchmark::State& state, DemoPage page, std::size_t logPageBytes) {
    DemoRouter router(page, logPageBytes);
    if (!router.started) {
        state.SkipWithError("the demo router did not start");
        return;
    }
    const std::string probe =
        (QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane-bench-probe"))
            .toStdString();
    for (auto _ : state) {
        const ProgramRun run = RunProgram(
            {probe, "fetch", router.sim.host(), std::to_string(router.sim.port()), kDemoPassword});
        auto report = ProbeReport(run.output);
        if (run.exitCode != 0 || report["outcome"] != "result" || report["wan_ip"] != kWanIp ||
            report["firewall_lines"] != std::to_string(router.firewallLines)) {
            state.SkipWithError("the probe did not show the router's findings");
            break;
        }
        state.SetIterationTime(std::stod(report["click_to_results_ms"]) / 1e3);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(router.bytes));
    state.counters["bytes"] = double(router.bytes);
}

// curl as a user would run it: a new process, a new connection, every file that the page needs
// for its log read to the end (over one connection).
void BM_CurlFetch(benchmark::State& state, DemoPage page, std::size_t logPageBytes) {
    DemoRouter router(page, logPageBytes);
    if (!router.started) {
        state.SkipWithError("the demo router did not start");
        return;
    }
    std::vector<std::string> command = {"curl",
                                        "--silent",
                                        "--show-error",
                                        "--user",
                                        std::string("admin:") + kDemoPassword,
                                        "--write-out",
                                        "%{http_code} %{size_download} %{time_total}\\n"};
    for (const std::string& path : router.paths) {
        command.insert(command.end(), {"--output", "/dev/null", router.url(path)});
    }
    double transferSeconds = 0;
    for (auto _ : state) {
        const ProgramRun run = RunProgram(command);
        std::istringstream transfers(run.output);
        bool allFound = true;
        std::size_t size = 0;
        for (std::size_t i = 0; i < router.paths.size(); ++i) {
            int status = 0;
            std::size_t got = 0;
            double total = 0;
            transfers >> status >> got >> total;
            allFound = allFound && status == 200;
            size += got;
            transferSeconds += total;
        }
        if (run.exitCode != 0 || !allFound || size != router.bytes) {
            state.SkipWithError(run.exitCode < 0 ? "curl could not be run (is it installed?)"
                                                 : "curl did not fetch the whole page");
            break;
        }
        state.SetIterationTime(double(run.finishNs - run.startNs) / 1e9);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(router.bytes));
    state.counters["bytes"] = double(router.bytes);
    // curl's own time_total, summed over the files: the transfer without the start of its
    // process.
    state.counters["transfer_ms"] =
        benchmark::Counter(transferSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

[[maybe_unused]] const bool kRegistered = [] {
    // Every layout at the size of a router's everyday log, warm and cold. A new program for every
    // cold press: a few presses make a repetition.
    for (const DemoPage& page : kEveryDemoPage) {
        RegisterDemoPageBenchmark("BM_ClickToResults", BM_ClickToResults, page, 64 * kKiB)
            ->MinTime(0.5);
        RegisterDemoPageBenchmark("BM_ClickToResultsCold", BM_ClickToResultsCold, page, 64 * kKiB)
            ->Iterations(3);
    }
    for (const DemoPage& page : {kDemoPage, kStaticPage}) {
        RegisterDemoPageBenchmark("BM_ClickToResults", BM_ClickToResults, page, 4 * kMiB)
            ->MinTime(1.0);
    }
    // One press each: the hostile pages take seconds (bench/turns.py runs them beside the floor).
    for (const DemoPage& page : {kHostileDivPage, kHostileAttributesPage}) {
        for (const std::size_t bytes : {kMiB, 4 * kMiB}) {
            RegisterDemoPageBenchmark("BM_ClickToResults", BM_ClickToResults, page, bytes)
                ->Iterations(1);
        }
    }
    // curl beside the pages whose every file it can fetch: a browser also asks for the files the
    // router lacks, and curl fails on them.
    const std::pair<DemoPage, std::size_t> fetched[] = {
        {kDemoPage, 64 * kKiB},  {kDemoPage, 4 * kMiB},        {kStaticPage, 64 * kKiB},
        {kStaticPage, 4 * kMiB}, {kScriptFilePage, 64 * kKiB}, {kScriptArrayPage, 64 * kKiB}};
    for (const auto& [page, bytes] : fetched) {
        RegisterDemoPageBenchmark("BM_CurlFetch", BM_CurlFetch, page, bytes)->MinTime(1.0);
    }
    return true;
}();

}  // namespace
}  // namespace quorvane::bench
