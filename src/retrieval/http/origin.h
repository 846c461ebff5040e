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
    Origin() = default;
    explicit Origin(const QUrl& url);

    bool isValid() const { return !host_.isEmpty(); }
    const QString& scheme() const { return scheme_; }
    // As a socket takes it: an IPv6 address without brackets.
    const QString& host() const { return host_; }
    int port() const { return port_; }
    // As written in an address: an IPv6 host in brackets; "host:port" with the port spelled out.
    QString urlHost() const;
    QString authority() const { return urlHost() + u':' + QString::number(port_); }

    friend bool operator==(const Origin&, const Origin&) = default;

private:
    QString scheme_;
    QString host_;
    int port_ = -1;
};

inline size_t qHash(const Origin& origin, size_t seed = 0) {
    return qHashMulti(seed, origin.scheme(), origin.host(), origin.port());
}

}  // namespace quorvane
