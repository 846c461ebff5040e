// The two paths a fetched page takes to its text, each timed alone: the page reader's helper
// process, which gives the text of a page without script or style, and the web engine through its
// helper, which runs the page's scripts and applies its styles. Together with the fetch and the
// analysis they make up a click, so these show where a click's time goes.

#include "bench_inputs.h"
#include "demo_page_benchmark.h"
#include "engine_client.h"
#include "event_wait.h"
#include "static_page_reader.h"

#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace quorvane::bench {
namespace {

constexpr int kTimeoutMs = 60'000;
const QByteArray kContentType = "text/html; charset=utf-8";

// The helper process started, the page written to it, its answer read: what the window pays for
// a page without script or style.
void BM_PageReader(benchmark::State& state, DemoPage page, std::size_t logPageBytes) {
    const DemoRouter router(page, logPageBytes);
    const auto expected =
        page.plainMarkup ? StaticPageReader::Outcome::Text : StaticPageReader::Outcome::NeedsEngine;
    StaticPageReader reader;
    bool done = false;
    StaticPageReader::Outcome outcome{};
    QObject::connect(&reader, &StaticPageReader::finished,
                     [&](StaticPageReader::Outcome got, const QString&) {
                         outcome = got;
                         done = true;
                     });
    for (auto _ : state) {
        done = false;
        QElapsedTimer timer;
        timer.start();
        reader.read(router.html, kContentType);
        RunUntil(done, kTimeoutMs);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!done || outcome != expected) {
            state.SkipWithError("the page reader did not give the expected answer");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * router.html.size());
    state.counters["bytes"] = double(router.html.size());
}

// One reading of a fetched page by the engine's warm helper: the page's bytes to the helper, a
// fresh page there (its renderer brought up while the engine was idle, as between a user's
// presses), the page's own requests to its router fetched here, its scripts, and its text back.
void BM_EngineRender(benchmark::State& state, DemoPage page, std::size_t logPageBytes) {
    const DemoRouter router(page, logPageBytes);
    if (!router.started) {
        state.SkipWithError("the demo router did not start");
        return;
    }
    const QUrl url(QString::fromStdString(router.url(router.paths.front())));
    // As after the fetch of the page itself: the router has asked for the credentials.
    CredentialKeeper keeper;
    keeper.keep(url, {QStringLiteral("admin"), QString::fromLatin1(kDemoPassword)});
    keeper.noteChallenge(url);
    const ResourceFetcher fetcher = [&keeper](const QUrl& resource, const FetchLimits& limits,
                                              QObject* parent) {
        return new PageFetch(resource, &keeper, RedirectPolicy::AnyPath, limits, parent);
    };
    EngineClient engine;
    const auto render = [&](QElapsedTimer& timer) {
        bool done = false;
        QString text;
        EngineReading job(&engine, {url, kContentType, router.html}, fetcher);
        QObject::connect(&job, &EngineReading::finished, [&](const QString& got) {
            text = got;
            done = true;
        });
        QObject::connect(&job, &EngineReading::failed, [&] { done = true; });
        timer.start();
        job.start();
        RunUntil(done, kTimeoutMs);
        return text.count(QLatin1String("Firewall:")) == router.firewallLines;
    };
    QElapsedTimer warmUp;
    if (!render(warmUp)) {
        state.SkipWithError("the engine did not give the page's log");
        return;
    }
    for (auto _ : state) {
        PauseBetweenPresses();
        QElapsedTimer timer;
        const bool read = render(timer);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!read) {
            state.SkipWithError("the engine did not give the page's log");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(router.bytes));
    state.counters["bytes"] = double(router.bytes);
}

benchmark::internal::Benchmark* Register(const char* family, DemoPageBenchmark run, DemoPage page,
                                         std::size_t bytes) {
    return RegisterDemoPageBenchmark(family, run, page, bytes)->MinTime(1.0);
}

[[maybe_unused]] const bool kRegistered = [] {
    // Only pages without script or style reach the page reader; the others go straight to the
    // engine.
    Register("BM_PageReader", BM_PageReader, kStaticPage, 64 * kKiB);
    Register("BM_PageReader", BM_PageReader, kStaticPage, 4 * kMiB);
    for (const DemoPage& page : kEveryDemoPage) {
        if (!page.plainMarkup) Register("BM_EngineRender", BM_EngineRender, page, 64 * kKiB);
    }
    Register("BM_EngineRender", BM_EngineRender, kDemoPage, 4 * kMiB);
    return true;
}();

}  // namespace
}  // namespace quorvane::bench
