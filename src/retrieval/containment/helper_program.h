#pragma once

#include <QStringList>

namespace quorvane {

// The program's helper processes: the static page reader and the web engine.
enum class Helper { PageReader, Engine };

// The command that starts `helper`, its program first: the one a test set, else the program
// beside the running one (as built), else in the helpers' folder (as installed, <bin>/../libexec/
// quorvane by default). Empty when none is there.
QStringList HelperCommand(Helper helper);

// For tests, whose programs live elsewhere: `command` starts `helper` from now on (the helper
// built for the tests, a stand-in, or a wrapper around it). An empty command restores the search.
void SetHelperCommand(Helper helper, const QStringList& command);

}  // namespace quorvane
