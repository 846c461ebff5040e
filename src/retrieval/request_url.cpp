#include "request_url.h"

namespace quorvane {

QString LogPagePath(LogKind kind) {
    return kind == LogKind::System ? QStringLiteral("/doc/syslog.htm")
                                   : QStringLiteral("/doc/seclog.htm");
}

QString ClearLogPath(LogKind kind) {
    const QString page = LogPagePath(kind);
    return page + QStringLiteral("?WINDWEB_URL=") + page + QStringLiteral("&clearlog=0");
}

QUrl ClearRequestUrl(const QUrl& logPageUrl, LogKind kind) {
    QUrl url = logPageUrl;
    const QString pathAndQuery = ClearLogPath(kind);
    const qsizetype query = pathAndQuery.indexOf(u'?');
    url.setPath(pathAndQuery.left(query));
    url.setQuery(pathAndQuery.mid(query + 1));
    url.setFragment({});
    return url;
}

namespace {

// A port is decimal digits only, 1 to 65535; anything else would let QUrl guess or drop it.
int ParsePort(const QString& text) {
    if (text.isEmpty() || text.size() > 5) return -1;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') return -1;
    }
    const int port = text.toInt();
    return port >= 1 && port <= 65535 ? port : -1;
}

}  // namespace

RouterUrl ComposeRouterUrl(const RouterLogin& login, const QString& pathAndQuery) {
    const int port = ParsePort(login.port);
    if (port < 0)
        return {{}, FetchFailure::make(FetchFailure::Kind::PortNotANumber, {}, login.port)};

    QUrl url;
    url.setScheme(QStringLiteral("http"));
    // StrictMode refuses anything that is not a host name or an IP address ("/", "@", blanks...),
    // so a mistyped address can never turn part of itself into a path or another host.
    url.setHost(login.address, QUrl::StrictMode);
    if (login.address.isEmpty() || url.host().isEmpty() || !url.isValid())
        return {{}, FetchFailure::make(FetchFailure::Kind::AddressNotAHost, {}, login.address)};
    url.setPort(port);
    url.setUserName(QString::fromLatin1(kRouterUser));
    // DecodedMode takes every character literally ("%" too); QUrl encodes what the syntax needs.
    url.setPassword(login.password, QUrl::DecodedMode);

    const qsizetype query = pathAndQuery.indexOf(u'?');
    url.setPath(pathAndQuery.left(query < 0 ? pathAndQuery.size() : query));
    if (query >= 0) url.setQuery(pathAndQuery.mid(query + 1));
    return {url, {}};
}

}  // namespace quorvane
