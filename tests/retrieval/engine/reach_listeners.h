#pragma once

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <memory>
#include <vector>

// Listens, over UDP and TCP, on every address and port that the test pages name as STUN or TURN
// servers, and counts what arrives: anything at all means a page reached past its router.
class ReachListeners {
public:
    static constexpr quint16 kPorts[] = {3478, 3479, 40000};

    bool start() {
        for (const char* address : {"127.0.0.2", "127.0.0.3"}) {
            for (const quint16 port : kPorts) {
                auto udp = std::make_unique<QUdpSocket>();
                auto tcp = std::make_unique<QTcpServer>();
                if (!udp->bind(QHostAddress(QLatin1String(address)), port) ||
                    !tcp->listen(QHostAddress(QLatin1String(address)), port)) {
                    return false;
                }
                QObject::connect(udp.get(), &QUdpSocket::readyRead, [this, socket = udp.get()] {
                    while (socket->hasPendingDatagrams()) {
                        socket->receiveDatagram();
                        ++arrived_;
                    }
                });
                QObject::connect(tcp.get(), &QTcpServer::newConnection, [this, server = tcp.get()] {
                    while (QTcpSocket* connection = server->nextPendingConnection()) {
                        connection->deleteLater();
                        ++arrived_;
                    }
                });
                udp_.push_back(std::move(udp));
                tcp_.push_back(std::move(tcp));
            }
        }
        return true;
    }

    int arrived() const { return arrived_; }

private:
    std::vector<std::unique_ptr<QUdpSocket>> udp_;
    std::vector<std::unique_ptr<QTcpServer>> tcp_;
    int arrived_ = 0;
};

// Answers every request with an empty script after `delayMs`, so that a page which asks for it
// stays loading, and its WebRTC attempts have their time, until then.
class SlowScriptServer {
public:
    explicit SlowScriptServer(int delayMs) : delayMs_(delayMs) {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* connection = server_.nextPendingConnection()) {
                QTimer::singleShot(delayMs_, connection, [connection] {
                    connection->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: text/javascript\r\n"
                        "Content-Length: 0\r\nConnection: close\r\n\r\n");
                    connection->disconnectFromHost();
                });
            }
        });
    }
    bool start() { return server_.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server_.serverPort(); }

private:
    QTcpServer server_;
    int delayMs_;
};
