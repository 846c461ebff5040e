#pragma once

#include <QProcessEnvironment>
#include <QStringList>

namespace quorvane {

// The program's helper processes: the static page reader and the web engine.
enum class Helper { PageReader, Engine };

// The memory a helper may take for one page (the page reader's address space, the engine's
// renderer and the engine's helper each): far beyond what a router's page needs, so that only a
// page built to be hungry is stopped.
inline constexpr qint64 kHelperMemoryBytes = qint64(1) << 30;

// The command that starts `helper`, its program first: the one a test set, else the program
// beside the running one (as built), else in the helpers' folder (as installed, <bin>/../libexec/
// quorvane by default). Empty when none is there.
QStringList HelperCommand(Helper helper);

// For tests, whose programs live elsewhere: `command` starts `helper` from now on (the helper
// built for the tests, a stand-in, or a wrapper around it). An empty command restores the search.
void SetHelperCommand(Helper helper, const QStringList& command);

// The environment a helper process (the page reader, the web engine) starts with: built by the
// program from the few variables a helper needs (where home, temporary and per-user folders are,
// the language and time zone, the search path, the sanitizers' options in a test build), with Qt
// told to show nothing. Everything else of `from` stays behind: the web engine's own settings
// (QTWEBENGINE_CHROMIUM_FLAGS would replace the Chromium switches that keep it off the network,
// QTWEBENGINE_REMOTE_DEBUGGING would open a debugging port), proxies, libraries to preload and
// plugin paths, none of which a helper should take from whoever started the program.
QProcessEnvironment HelperEnvironment(
    const QProcessEnvironment& from = QProcessEnvironment::systemEnvironment());

// For the engine's helper itself, before the engine starts: forgets the engine's own settings
// and the proxies, should its environment hold them all the same (a helper started by hand, or by
// a program other than ours), so that they never reach the engine.
void ForgetEngineOverrides();

}  // namespace quorvane
