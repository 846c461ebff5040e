// The benchmarks' own main: the window benchmarks need an application object, created after the
// benchmark library has taken its flags out of the command line.

#include "helper_environment.h"
#include "load_noting_reporter.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <vector>

int main(int argc, char** argv) {
    // Like the tests, the window lives on the offscreen platform unless told otherwise, so that
    // the benchmarks run without a display and no window pops up on a desktop.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The benchmark library takes its flags out of the command line; the reporters need them.
    std::vector<char*> given(argv, argv + argc);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    QApplication app(argc, argv);
    // The window's page reader is built beside the real program, not beside this one.
    quorvane::SetHelperCommand(quorvane::Helper::PageReader,
                               {QStringLiteral(QUORVANE_PAGE_READER)});
    quorvane::SetHelperCommand(quorvane::Helper::Engine, {QStringLiteral(QUORVANE_ENGINE_HELPER)});
    quorvane::bench::RunBenchmarksNotingLoad(int(given.size()), given.data());
    benchmark::Shutdown();
    return 0;
}
