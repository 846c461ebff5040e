// From the bytes of a fetched log page to the text of its body: the work the browser component
// does between the end of the transfer and the completion event.

#include "bench_inputs.h"
#include "engine_at_first_sight.h"
#include "page_text.h"
#include "sim_page.h"

#include <benchmark/benchmark.h>

namespace quorvane::bench {
namespace {

void BM_PageBytesToBodyText(benchmark::State& state) {
    const auto style = routersim::PageStyle(state.range(1));
    const QByteArray& page = RouterPage(RouterLog::System, std::size_t(state.range(0)), style);
    const QByteArray contentType = "text/html; charset=utf-8";
    for (auto _ : state) {
        QString text = BodyInnerText(DecodePageBytes(page, contentType));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * page.size());
    state.counters["bytes"] = double(page.size());
    state.SetLabel(std::string(routersim::styleName(style)));
}

// The three sizes in the layout the demo router uses by default; the other layouts at 1 MiB show
// what heavier markup costs for the same log.
void PageSizes(benchmark::internal::Benchmark* b) {
    for (std::size_t size : {64 * kKiB, kMiB, 16 * kMiB})
        b->Args({std::int64_t(size), std::int64_t(routersim::PageStyle::Pre)});
    for (auto style : {routersim::PageStyle::BrLines, routersim::PageStyle::Table,
                       routersim::PageStyle::DivLines}) {
        b->Args({std::int64_t(kMiB), std::int64_t(style)});
    }
}

BENCHMARK(BM_PageBytesToBodyText)
    ->Apply(PageSizes)
    ->ArgNames({"bytes", "style"})
    ->Unit(benchmark::kMillisecond);

// The look at the bytes that sends a page with scripts or styles straight to the engine, in the
// window's process before any reader or engine: on pages without them it scans every byte.
void BM_EngineAtFirstSight(benchmark::State& state) {
    const auto style = routersim::PageStyle(state.range(1));
    const std::string html = routersim::renderPage(
        routersim::LogKind::System, style,
        SystemLogForPage(std::size_t(state.range(0)), BenchNow()), "utf-8", false, true);
    const QByteArray page = QByteArray::fromStdString(html);
    for (auto _ : state) {
        bool engine = NeedsEngineAtFirstSight(page, "text/html; charset=utf-8");
        benchmark::DoNotOptimize(engine);
    }
    state.SetBytesProcessed(state.iterations() * page.size());
    state.SetLabel(std::string(routersim::styleName(style)));
}

BENCHMARK(BM_EngineAtFirstSight)
    ->Args({std::int64_t(64 * kKiB), std::int64_t(routersim::PageStyle::Table)})
    ->Args({std::int64_t(16 * kMiB), std::int64_t(routersim::PageStyle::Table)})
    ->Args({std::int64_t(64 * kKiB), std::int64_t(routersim::PageStyle::ManyResources)})
    ->ArgNames({"bytes", "style"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvane::bench
