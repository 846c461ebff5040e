// From the bytes of a fetched log page to the text of its body: the work the browser component
// does between the end of the transfer and the completion event.

#include "bench_inputs.h"
#include "page_text.h"

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

}  // namespace
}  // namespace quorvane::bench
