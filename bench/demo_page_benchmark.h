#pragma once

#include "bench_inputs.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

namespace quorvane::bench {

// A measurement of one demo page of one size, timed by hand.
using DemoPageBenchmark = void (*)(benchmark::State&, DemoPage, std::size_t);

// Registers `run` under a name such as BM_ClickToResults/script-file/bytes:65536, in milliseconds.
inline benchmark::internal::Benchmark* RegisterDemoPageBenchmark(const char* family,
                                                                 DemoPageBenchmark run,
                                                                 DemoPage page, std::size_t bytes) {
    const std::string name =
        std::string(family) + "/" + page.name + "/bytes:" + std::to_string(bytes);
    return benchmark::RegisterBenchmark(
               name.c_str(),
               [run, page, bytes](benchmark::State& state) { run(state, page, bytes); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

}  // namespace quorvane::bench
