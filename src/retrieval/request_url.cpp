#include "request_url.h"

namespace quorvane {

namespace {

const QString kClearParameter = QStringLiteral("clearlog");

// A part of a request target as a router's small web server may take it: percent-decoded as
// often as it decodes (some do twice), in lower case (they match without regard to case), with
// backslashes for slashes.
QString AsServerTakesIt(QString text) {
    for (int round = 0; round < 3; ++round) {
        const QString decoded = QUrl::fromPercentEncoding(text.toUtf8());
        if (decoded == text) break;
        text = decoded;
    }
    return text.toLower().replace(u'\\', u'/');
}

// The path a server would serve: dot segments resolved, empty segments dropped.
QString ServedPath(const QUrl& url) {
    QStringList kept;
    const QString path = AsServerTakesIt(url.path(QUrl::FullyEncoded));
    for (const QString& segment : path.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == QLatin1String("..")) {
            if (!kept.isEmpty()) kept.removeLast();
        } else if (segment != QLatin1String(".")) {
            kept << segment;
        }
    }
    return u'/' + kept.join(u'/');
}

}  // namespace

QString LogPagePath(LogKind kind) {
    return kind == LogKind::System ? QStringLiteral("/doc/syslog.htm")
                                   : QStringLiteral("/doc/seclog.htm");
}

QString ClearLogPath(LogKind kind) {
    const QString page = LogPagePath(kind);
    return page + QStringLiteral("?WINDWEB_URL=") + page + u'&' + kClearParameter +
           QStringLiteral("=0");
}

bool PageMayRequest(const QUrl& target) {
    const QString path = ServedPath(target);
    const QString query = AsServerTakesIt(target.query(QUrl::FullyEncoded));
    if (query.contains(kClearParameter)) return false;
    for (const LogKind kind : {LogKind::System, LogKind::Security}) {
        const QString page = LogPagePath(kind);
        // A server may serve the page under a longer path too ("/doc/syslog.htm/", ";...").
        if (path.startsWith(page) || query.contains(page.mid(page.lastIndexOf(u'/') + 1))) {
            return false;
        }
    }
    return true;
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
    if (port < 0) return {{}, PageFailure::make(PageFailure::Kind::PortNotANumber, {}, login.port)};

    QUrl url;
    url.setScheme(QStringLiteral("http"));
    // StrictMode refuses anything that is not a host name or an IP address ("/", "@", blanks...),
    // so a mistyped address can never turn part of itself into a path or another host.
    url.setHost(login.address, QUrl::StrictMode);
    if (login.address.isEmpty() || url.host().isEmpty() || !url.isValid())
        return {{}, PageFailure::make(PageFailure::Kind::AddressNotAHost, {}, login.address)};
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
