#include "router_scheme.h"

#include <QWebEngineUrlScheme>

namespace quorvane {

namespace {
constexpr int kHttpPort = 80;
}

void RegisterRouterScheme() {
    static const bool registered = [] {
        QWebEngineUrlScheme scheme(kRouterScheme);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::HostAndPort);
        scheme.setDefaultPort(kHttpPort);
        // CORS on the scheme lets a page's XMLHttpRequest reach its own router, as over http.
        scheme.setFlags(QWebEngineUrlScheme::CorsEnabled);
        QWebEngineUrlScheme::registerScheme(scheme);
        return true;
    }();
    Q_UNUSED(registered);
}

QUrl ToRouterScheme(const QUrl& httpUrl) {
    QUrl url = httpUrl;
    url.setUserInfo({});
    url.setScheme(QString::fromLatin1(kRouterScheme));
    url.setPort(httpUrl.port(kHttpPort));
    return url;
}

QUrl ToHttpScheme(const QUrl& routerUrl) {
    QUrl url = routerUrl;
    url.setUserInfo({});
    url.setScheme(QStringLiteral("http"));
    if (url.port(kHttpPort) == kHttpPort) url.setPort(-1);
    return url;
}

}  // namespace quorvane
