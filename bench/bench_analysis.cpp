// The analyses and the copy-file line selection on the body text of router log pages.

#include "bench_inputs.h"
#include "log_copy_file.h"
#include "security_log_analysis.h"
#include "system_log_analysis.h"

#include <benchmark/benchmark.h>

namespace quorvane::bench {
namespace {

// The text's size as the router's bytes: the log is ASCII but for a name or two, so this is
// what grep reads for the same log.
std::int64_t Utf8Size(const QString& text) { return text.toUtf8().size(); }

void ReportBytes(benchmark::State& state, const QString& text) {
    const std::int64_t bytes = Utf8Size(text);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["bytes"] = double(bytes);
}

void BM_SystemLogAnalysis(benchmark::State& state) {
    const QString& text = RouterLogText(RouterLog::System, std::size_t(state.range(0)));
    const AnalysisClock clock = BenchClock();
    for (auto _ : state) {
        SystemLogFindings findings = AnalyseSystemLog(text, QString(), clock);
        benchmark::DoNotOptimize(findings);
    }
    ReportBytes(state, text);
}

void BM_SecurityLogAnalysis(benchmark::State& state) {
    const QString& text = RouterLogText(RouterLog::Security, std::size_t(state.range(0)));
    const AnalysisClock clock = BenchClock();
    for (auto _ : state) {
        QString box = AnalyseSecurityLog(text, QString(), clock);
        benchmark::DoNotOptimize(box);
    }
    ReportBytes(state, text);
}

void BM_DatedLogLines(benchmark::State& state) {
    const QString& text = RouterLogText(RouterLog::System, std::size_t(state.range(0)));
    for (auto _ : state) {
        QStringList lines = DatedLogLines(text);
        benchmark::DoNotOptimize(lines);
    }
    ReportBytes(state, text);
}

void LogSizes(benchmark::internal::Benchmark* b) {
    for (std::size_t size : {64 * kKiB, kMiB, 16 * kMiB}) b->Arg(std::int64_t(size));
    b->ArgName("bytes")->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SystemLogAnalysis)->Apply(LogSizes);
BENCHMARK(BM_SecurityLogAnalysis)->Apply(LogSizes);
BENCHMARK(BM_DatedLogLines)->Apply(LogSizes);

}  // namespace
}  // namespace quorvane::bench
