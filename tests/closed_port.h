#pragma once

#include <QHostAddress>
#include <QTcpServer>

// A loopback port that nothing listens on: connecting to it is refused.
inline int ClosedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}
