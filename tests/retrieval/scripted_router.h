#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>

// A router that answers the n-th connection with the n-th of its canned answers, byte for byte
// (the last one again when they run out), and closes; or, with no answers, never answers.
class ScriptedRouter : public QObject {
public:
    explicit ScriptedRouter(QList<QByteArray> answers) : answers_(std::move(answers)) {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                const qsizetype n = requests.size();
                requests.append(QByteArray());
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, n] {
                    requests[n] += socket->readAll();
                    if (!requests[n].endsWith("\r\n\r\n") || answers_.isEmpty()) return;
                    socket->write(answers_.value(std::min(n, answers_.size() - 1)));
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    ++closed;
                    socket->deleteLater();
                });
            }
        });
    }
    int port() const { return server_.serverPort(); }
    QUrl url(const QString& path = "/doc/syslog.htm") const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
    }

    QList<QByteArray> requests;
    int closed = 0;

private:
    QTcpServer server_;
    QList<QByteArray> answers_;
};
