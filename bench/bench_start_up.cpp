// Start-up: from the creation of the program's process to its window's first frame. The probe
// program next to this one starts like the real program and reports the moment on the machine's
// monotonic clock, which is compared with the moment just before its process was created, how
// many processes it had started by then (the web engine waits for the first page that needs it),
// and whether the web engine's library was mapped into it (it never should be).

#include "spawn_program.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <sstream>

namespace quorvane::bench {
namespace {

void BM_StartUpToWindowShown(benchmark::State& state) {
    const std::string probe =
        (QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane-bench-probe"))
            .toStdString();
    int mostProcesses = 0;
    int engineMapped = 0;
    for (auto _ : state) {
        const ProgramRun run = RunProgram({probe, "start-up"});
        std::string word;
        std::string processesWord;
        std::string mappedWord;
        std::int64_t shownNs = 0;
        int processes = -1;
        int mapped = -1;
        std::istringstream(run.output) >> word >> shownNs >> processesWord >> processes >>
            mappedWord >> mapped;
        if (run.exitCode != 0 || word != "shown" || processesWord != "child_processes" ||
            mappedWord != "engine_mapped") {
            state.SkipWithError("the probe did not report its window");
            break;
        }
        state.SetIterationTime(double(shownNs - run.startNs) / 1e9);
        mostProcesses = std::max(mostProcesses, processes);
        engineMapped = std::max(engineMapped, mapped);
    }
    state.counters["child_processes"] = mostProcesses;
    state.counters["engine_mapped"] = engineMapped;
}

BENCHMARK(BM_StartUpToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
}  // namespace quorvane::bench
