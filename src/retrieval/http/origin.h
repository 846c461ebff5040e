#pragma once

#include <QHashFunctions>
#include <QString>
#include <QUrl>

namespace quorvane {

// Whom an address belongs to, in one spelling: it decides where the credentials go, where a
// redirect may lead and whose requests a page may make. Scheme and host are case-folded, an
// absent port is the scheme's own (443 for https, 80 for http and for the engine's scheme that
// stands for it), and a name is compared in its ASCII form.
class Origin {
public:
    explicit Origin(const QUrl& url);

    // As a socket takes it: an IPv6 address without brackets.
    const QString& host() const { return host_; }
    int port() const { return port_; }
    // As written in an address: an IPv6 host in brackets; "host:port" with the port spelled out.
    QString urlHost() const;
    QString authority() const { return urlHost() + u':' + QString::number(port_); }

    friend bool operator==(const Origin&, const Origin&) = default;
    friend size_t qHash(const Origin& o, size_t seed = 0) {
        return qHashMulti(seed, o.scheme_, o.host_, o.port_);
    }

private:
    QString scheme_;
    QString host_;
    int port_;
};

}  // namespace quorvane
