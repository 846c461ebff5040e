#pragma once

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

}  // namespace quorvane
