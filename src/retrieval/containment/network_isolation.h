#pragma once

#include <QString>

#include <optional>

namespace quorvane {

// Whether a helper got a network of its own, and if not, why.
struct NetworkIsolation {
    bool isolated = false;
    QString why;  // empty when isolated
};

// Moves this process into a network namespace of its own, whose one interface is a loopback that
// is down: whatever a helper tries (the engine on a page's behalf, say), no packet leaves and no
// address on the machine is reached. Root may do so directly; an ordinary user does it inside a
// user namespace of its own in which it keeps its own user and group ids, so that the engine's
// (Chromium's) sandbox can nest inside. Must run while the process has a single thread, before
// anything starts one.
NetworkIsolation IsolateNetwork();

// Whether process `pid` runs on this process's network, seen from outside (from the namespace
// links under /proc), whatever the process says of itself. Unknown when either cannot be read:
// the process is gone, say.
std::optional<bool> SharesThisNetwork(qint64 pid);

}  // namespace quorvane
