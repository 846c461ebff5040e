#pragma once

#include <QString>

namespace quorvane {

// Whether the helper got a network of its own, and if not, why.
struct NetworkIsolation {
    bool isolated = false;
    QString why;  // empty when isolated
};

// Moves this process into a network namespace of its own, whose one interface is a loopback that
// is down: whatever the engine tries, no packet leaves and no address on the machine is reached.
// Root may do so directly; an ordinary user does it inside a user namespace of its own in which it
// keeps its own user and group ids, so that Chromium's sandbox can nest inside. Must run while the
// process has a single thread, before anything starts one.
NetworkIsolation IsolateNetwork();

}  // namespace quorvane
