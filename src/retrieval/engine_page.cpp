#include "engine_page.h"

#include "router_scheme.h"

#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>

namespace quorvane {

EnginePage::EnginePage(QWebEngineProfile* profile, const QUrl& pageUrl, QObject* parent)
    : QWebEnginePage(profile, parent), pageUrl_(pageUrl) {
    setVisible(true);  // a hidden page has its timers throttled, and router pages use timers
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fullScreenRequested,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fileSystemAccessRequested,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    connect(this, &QWebEnginePage::quotaRequested,
            [](QWebEngineQuotaRequest request) { request.reject(); });
    QT_WARNING_POP
}

// The page we load is the only main-frame navigation there will ever be; frames inside it may
// show the router's own pages and nothing else.
bool EnginePage::acceptNavigationRequest(const QUrl& url, NavigationType /*type*/,
                                         bool isMainFrame) {
    if (isMainFrame) {
        // load() starts the first one before anything else can run in the page.
        const bool first = !pageRequested_;
        pageRequested_ = true;
        return first;
    }
    if (url.scheme() == QLatin1String("about")) return true;
    return url.scheme() == QLatin1String(kRouterScheme) && OriginKey(url) == OriginKey(pageUrl_);
}

QWebEnginePage* EnginePage::createWindow(WebWindowType) { return nullptr; }

void EnginePage::javaScriptAlert(const QUrl&, const QString&) {}

bool EnginePage::javaScriptConfirm(const QUrl&, const QString&) { return false; }

bool EnginePage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) {
    return false;
}

void EnginePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                          const QString&) {}

}  // namespace quorvane
