#pragma once

#include <QStringList>

namespace quorvane {

// The layers that keep a page away from the network. Each holds on its own; tests take them away
// one at a time to show that.
struct NetworkShutters {
    bool ownNetwork = true;        // a network namespace with nothing in it
    bool chromiumSwitches = true;  // see ChromiumSwitches()
    bool pageScripts = true;       // no WebRTC constructors in any frame or world
};

// "--without=network,switches,scripts" (any of them) among the helper's arguments: for tests only.
NetworkShutters ShuttersFromArguments(const QStringList& arguments);

// The switches Chromium starts with in the helper, as program arguments: one each, so that a
// value may hold blanks (the engine's flag variable is split at blanks).
QStringList ChromiumSwitches(bool shutNetwork, bool runsAsRoot);

}  // namespace quorvane
