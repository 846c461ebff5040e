#include "connection_slot.h"

#include <QHash>
#include <QList>
#include <QTimer>

#include <utility>

namespace quorvane {

namespace {

struct Server {
    int open = 0;
    QList<ConnectionSlot*> waiting;
};

// Fetches live on the thread that made them, so each thread keeps count of its own connections.
QHash<QString, Server>& Servers() {
    thread_local QHash<QString, Server> servers;
    return servers;
}

}  // namespace

ConnectionSlot::~ConnectionSlot() { release(); }

void ConnectionSlot::acquire(const QString& server, std::function<void()> granted) {
    release();
    server_ = server;
    granted_ = std::move(granted);
    Server& counts = Servers()[server_];
    if (counts.open >= kPerServer) {
        state_ = State::Waiting;
        counts.waiting.append(this);
        return;
    }
    ++counts.open;
    state_ = State::Held;
    ++turn_;
    grant();
}

// A copy runs, since what it starts may hand this slot a new task.
void ConnectionSlot::grant() {
    const std::function<void()> granted = granted_;
    granted();
}

void ConnectionSlot::release() {
    const State state = std::exchange(state_, State::Idle);
    ++turn_;
    if (state == State::Idle) return;
    const auto found = Servers().find(server_);
    if (found == Servers().end()) return;
    Server& counts = found.value();
    if (state == State::Waiting) {
        counts.waiting.removeOne(this);
    } else if (!counts.waiting.isEmpty()) {
        // The connection passes to the next in the queue at once, so no newcomer takes it, but
        // its fetch starts from the event loop: this may run inside a signal of the fetch that
        // is giving its connection back.
        ConnectionSlot* next = counts.waiting.takeFirst();
        next->state_ = State::Held;
        const quint64 turn = ++next->turn_;
        QTimer::singleShot(0, next, [next, turn] {
            if (next->turn_ == turn) next->grant();
        });
    } else {
        --counts.open;
    }
    if (counts.open == 0 && counts.waiting.isEmpty()) Servers().erase(found);
}

}  // namespace quorvane
