#pragma once

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorvane::bench {

// A reporter that adds to every row the machine's load average over the last minute, read when
// the row was reported: on a shared machine a figure means little without the load it ran under.
template <typename Base>
class LoadNotingReporter : public Base {
public:
    using Base::Base;

    void ReportRuns(const std::vector<benchmark::BenchmarkReporter::Run>& runs) override {
        std::vector<benchmark::BenchmarkReporter::Run> noted = runs;
        const double load = LoadAverage();
        for (auto& run : noted) run.counters["load_avg_1m"] = load;
        Base::ReportRuns(noted);
    }

private:
    static double LoadAverage() {
        double load = -1;
        return ::getloadavg(&load, 1) == 1 ? load : -1;
    }
};

// Runs the registered benchmarks with the load noted on the screen and, when the command line
// (as given to main, before benchmark::Initialize) names a --benchmark_out file, there as JSON.
inline void RunBenchmarksNotingLoad(int argc, char** argv) {
    bool toFile = false;
    for (int i = 1; i < argc; ++i) {
        toFile = toFile || std::strncmp(argv[i], "--benchmark_out=", 16) == 0;
    }
    LoadNotingReporter<benchmark::ConsoleReporter> display(
        isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                              : benchmark::ConsoleReporter::OO_None);
    LoadNotingReporter<benchmark::JSONReporter> file;
    benchmark::RunSpecifiedBenchmarks(&display, toFile ? &file : nullptr);
}

}  // namespace quorvane::bench
