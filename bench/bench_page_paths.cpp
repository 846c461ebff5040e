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
// `moving` is markup added at the end of the page's body, to keep it moving.
void EngineRender(benchmark::State& state, DemoPage page, std::size_t logPageBytes,
                  const QByteArray& moving) {
    const DemoRouter router(page, logPageBytes);
    QByteArray html = router.html;
    html.replace("</body>", moving + "</body>");
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
        EngineReading job(&engine, {url, kContentType, html}, fetcher);
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

void BM_EngineRender(benchmark::State& state, DemoPage page, std::size_t logPageBytes) {
    EngineRender(state, page, logPageBytes, {});
}

// What keeps a router's page moving for as long as it is open: clocks, uptime counters, status
// lights, marquees. Each is added to the demo page, whose log the engine must read all the same,
// and not much later than the same page standing still ("still").
struct Moving {
    const char* name;
    const char* markup;
};
constexpr Moving kMoving[] = {
    {"still", ""},
    {"banner-40ms",
     "<div id=\"up\"></div><script>var n = 0; (function redraw() {"
     " document.getElementById('up').textContent = 'Uptime ' + ++n; setTimeout(redraw, 40);"
     " })();</script>"},
    {"banner-200ms",
     "<div id=\"up\"></div><script>var n = 0; (function redraw() {"
     " document.getElementById('up').textContent = 'Uptime ' + ++n; setTimeout(redraw, 200);"
     " })();</script>"},
    {"clock-1s",
     "<div id=\"clock\"></div><script>setInterval(function () {"
     " document.getElementById('clock').textContent = new Date().toLocaleTimeString(); },"
     " 1000);</script>"},
    {"animation-frame",
     "<div id=\"meter\"></div><script>var n = 0; (function frame() {"
     " document.getElementById('meter').textContent = 'Traffic ' + ++n;"
     " requestAnimationFrame(frame); })();</script>"},
    {"css-animation",
     "<style>@keyframes blink { to { opacity: 0 } }"
     " #light { animation: blink 0.5s infinite alternate }</style><div id=\"light\">Online</div>"},
    {"light-40ms",
     "<div id=\"light\">Online</div><script>(function blink() {"
     " var light = document.getElementById('light');"
     " light.style.color = light.style.color ? '' : 'green'; setTimeout(blink, 40); })();"
     "</script>"},
    {"marquee", "<marquee>Welcome to your router</marquee>"},
};

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
    for (const Moving& moving : kMoving) {
        const std::string name = std::string("BM_EngineRenderMoving/") + moving.name + "/" +
                                 kDemoPage.name + "/bytes:65536";
        benchmark::RegisterBenchmark(name.c_str(),
                                     [moving](benchmark::State& state) {
                                         EngineRender(state, kDemoPage, 64 * kKiB, moving.markup);
                                     })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0);
    }
    return true;
}();

}  // namespace
}  // namespace quorvane::bench
