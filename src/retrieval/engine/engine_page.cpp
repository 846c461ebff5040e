#include "engine_page.h"

#include "origin.h"

#include <QtWebEngineCore/qtwebenginecoreversion.h>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>

#if QTWEBENGINECORE_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QWebEnginePermission>
#endif

#include <utility>

namespace quorvane {

EnginePage::EnginePage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    // QTWEBENGINE_6_4_QUIRK viewless-page-is-hidden: a page without a view counts as hidden and
    // has its timers throttled, and router pages use timers.
    setVisible(true);
    // QTWEBENGINE_6_4_QUIRK permission-api: 6.4 asks for permissions by feature, which 6.8
    // deprecates for a request object of its own.
#if QTWEBENGINECORE_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    connect(this, &QWebEnginePage::permissionRequested,
            [](QWebEnginePermission permission) { permission.deny(); });
#else
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
#endif
    connect(this, &QWebEnginePage::fullScreenRequested,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fileSystemAccessRequested,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    // QTWEBENGINE_6_4_QUIRK quota-request-deprecated: 6.4 still asks through a deprecated signal.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    connect(this, &QWebEnginePage::quotaRequested,
            [](QWebEngineQuotaRequest request) { request.reject(); });
    QT_WARNING_POP
}

void EnginePage::warmUp() {
    loadOfOurs_ = true;
    load(QUrl(QStringLiteral("about:blank")));
}

void EnginePage::open(const QUrl& pageUrl) {
    pageUrl_ = pageUrl;
    loadOfOurs_ = true;
    load(pageUrl);
}

// The main frame goes only where we load it: load() starts its navigation before anything else
// can run in the page. Frames inside the router page may show its router's pages and nothing else.
bool EnginePage::acceptNavigationRequest(const QUrl& url, NavigationType /*type*/,
                                         bool isMainFrame) {
    if (isMainFrame) return std::exchange(loadOfOurs_, false);
    if (url.scheme() == QLatin1String("about")) return true;
    return pageUrl_.isValid() && Origin(url) == Origin(pageUrl_);
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
