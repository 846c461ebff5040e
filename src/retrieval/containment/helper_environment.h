#pragma once

#include <QProcessEnvironment>

namespace quorvane {

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
