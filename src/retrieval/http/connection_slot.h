#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace quorvane {

// A turn at one of the few connections that one router may have open from this program at once.
//
// A page that refers to a dozen scripts and style sheets asks for them all at the same moment,
// and each request has a connection of its own. The small web servers of routers listen with a
// short queue of connections not yet accepted (five is common); the system drops the opening of a
// connection beyond it, and the client tries again only after a second. Browsers open at most six
// connections to one server, and routers' servers are made for browsers, so neither do we.
class ConnectionSlot : public QObject {
public:
    static constexpr int kPerServer = 6;

    ConnectionSlot() = default;
    ~ConnectionSlot() override;  // gives back what it holds or waits for

    // Runs `granted` once a connection to `server` ("host:port") may be opened: within this call
    // when one is free, else later from the event loop, when one of the connections before it has
    // been given back. Whatever was held or awaited before is given back first.
    void acquire(const QString& server, std::function<void()> granted);
    // Gives back the connection, or leaves the queue for one; the next in the queue may go.
    void release();

private:
    enum class State { Idle, Waiting, Held };

    void grant();

    QString server_;
    std::function<void()> granted_;
    State state_ = State::Idle;
    quint64 turn_ = 0;  // the grant that may still run
};

}  // namespace quorvane
