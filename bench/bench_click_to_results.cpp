// Click to results through the real window on the demo router, next to curl fetching the same
// page from the same router: the network floor under any client.

#include "bench_inputs.h"
#include "click_timer.h"
#include "main_window.h"
#include "sim_page.h"
#include "spawn_program.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <sstream>

namespace quorvane::bench {
namespace {

constexpr int kTimeoutMs = 60'000;
constexpr char kPassword[] = "demo";
constexpr char kWanIp[] = "203.0.113.45";  // the demo router's WAN address

template <typename T = QWidget>
T* Control(QWidget& window, const char* name) {
    return window.findChild<T*>(QLatin1String(name));
}

// The demo router, serving a system log page of about `pageBytes`, on a free loopback port.
struct RouterWithPage {
    explicit RouterWithPage(std::size_t pageBytes)
        : sim({.password = kPassword}),
          firewallLines(FirewallLinesForPage(pageBytes)),
          log(SystemLogForPage(pageBytes, std::chrono::system_clock::now())),
          pageSize(routersim::renderPage(routersim::LogKind::System, routersim::PageStyle::Pre, log,
                                         "utf-8")
                       .size()) {
        sim.setSystemLog(log);
        started = sim.start();
    }
    routersim::RouterSim sim;
    int firewallLines;
    std::string log;
    std::size_t pageSize;
    bool started = false;
};

void BM_ClickToResults(benchmark::State& state) {
    RouterWithPage router(std::size_t(state.range(0)));
    if (!router.started) {
        state.SkipWithError("the demo router did not start");
        return;
    }
    QTemporaryDir appDir;
    Form1 window(appDir.path());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        state.SkipWithError("the window was never shown");
        return;
    }
    Control<QLineEdit>(window, "txtPass")->setText(QString::fromLatin1(kPassword));
    Control<QLineEdit>(window, "txtIP")->setText(QString::fromStdString(router.sim.host()));
    Control<QLineEdit>(window, "txtPort")->setText(QString::number(router.sim.port()));
    auto* go = Control<QPushButton>(window, "Command1");
    auto* logBox = Control<QPlainTextEdit>(window, "txtLog");
    auto* wanIpBox = Control<QLineEdit>(window, "txtWANIP");
    ClickTimer timer(&window);

    for (auto _ : state) {
        // Every press starts from empty boxes, as the first request of a session does.
        logBox->clear();
        wanIpBox->clear();
        QCoreApplication::processEvents();
        const qint64 ns =
            timer.timeUntilResults([go] { QTest::mouseClick(go, Qt::LeftButton); }, kTimeoutMs);
        if (ns < 0) {
            state.SkipWithError("the busy cursor did not end within a minute");
            break;
        }
        state.SetIterationTime(double(ns) / 1e9);
        if (wanIpBox->text() != QLatin1String(kWanIp) ||
            logBox->toPlainText().count(QLatin1String("Firewall:")) != router.firewallLines) {
            state.SkipWithError("the window did not show the router's findings");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(router.pageSize));
    state.counters["bytes"] = double(router.pageSize);
}

// curl as a user would run it: a new process, a new connection, the body read to the end.
void BM_CurlFetch(benchmark::State& state) {
    RouterWithPage router(std::size_t(state.range(0)));
    if (!router.started) {
        state.SkipWithError("the demo router did not start");
        return;
    }
    const std::string url =
        "http://" + router.sim.host() + ":" + std::to_string(router.sim.port()) + "/doc/syslog.htm";
    const std::vector<std::string> command = {"curl",
                                              "--silent",
                                              "--show-error",
                                              "--output",
                                              "/dev/null",
                                              "--user",
                                              std::string("admin:") + kPassword,
                                              "--write-out",
                                              "%{http_code} %{size_download} %{time_total}",
                                              url};
    double transferSeconds = 0;
    for (auto _ : state) {
        const ProgramRun run = RunProgram(command);
        int status = 0;
        std::size_t size = 0;
        double total = 0;
        std::istringstream(run.output) >> status >> size >> total;
        if (run.exitCode != 0 || status != 200 || size != router.pageSize) {
            state.SkipWithError(run.exitCode < 0 ? "curl could not be run (is it installed?)"
                                                 : "curl did not fetch the whole page");
            break;
        }
        state.SetIterationTime(double(run.finishNs - run.startNs) / 1e9);
        transferSeconds += total;
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(router.pageSize));
    state.counters["bytes"] = double(router.pageSize);
    // curl's own time_total: the transfer without the start of its process.
    state.counters["transfer_ms"] =
        benchmark::Counter(transferSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

void PageSizes(benchmark::internal::Benchmark* b) {
    b->Arg(std::int64_t(64 * kKiB))->Arg(std::int64_t(4 * kMiB))->ArgName("bytes");
    b->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
}

BENCHMARK(BM_ClickToResults)->Apply(PageSizes);
BENCHMARK(BM_CurlFetch)->Apply(PageSizes);

}  // namespace
}  // namespace quorvane::bench
