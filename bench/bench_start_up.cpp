// Start-up: from the creation of the program's process to its window's first frame. The probe
// program next to this one starts like the real program and reports the moment on the machine's
// monotonic clock, which is compared with the moment just before its process was created.

#include "spawn_program.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <sstream>

namespace quorvane::bench {
namespace {

void BM_StartUpToWindowShown(benchmark::State& state) {
    const std::string probe =
        (QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane-bench-probe"))
            .toStdString();
    for (auto _ : state) {
        const ProgramRun run = RunProgram({probe, "start-up"});
        std::string word;
        std::int64_t shownNs = 0;
        std::istringstream(run.output) >> word >> shownNs;
        if (run.exitCode != 0 || word != "shown") {
            state.SkipWithError("the probe did not report its window");
            break;
        }
        state.SetIterationTime(double(shownNs - run.startNs) / 1e9);
    }
}

BENCHMARK(BM_StartUpToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
}  // namespace quorvane::bench
