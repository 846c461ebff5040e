#include "engine_host.h"

#include "engine_page.h"
#include "engine_render.h"
#include "page_scripts.h"
#include "router_scheme.h"

#include <QMutex>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNotification>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>

#include <csignal>

namespace quorvane {

// Lets through what a page asks of its own router and nothing else. A page that names its
// router with an absolute http address is sent to the same resource under our scheme
// (QTWEBENGINE_6_4_QUIRK router-scheme).
class RouterRequestGate : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setServed(const QSet<Origin>& origins) {
        QMutexLocker lock(&mutex_);
        served_ = origins;
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QUrl url = info.requestUrl();
        const QString scheme = url.scheme();
        if (scheme == QLatin1String("data") || scheme == QLatin1String("blob") ||
            scheme == QLatin1String("about")) {
            return;
        }
        const bool plainHttp = scheme == QLatin1String("http");
        const QUrl routerUrl = plainHttp ? ToRouterScheme(url) : url;
        if (routerUrl.scheme() != QLatin1String(kRouterScheme) || !isServed(Origin(routerUrl)) ||
            info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeFavicon ||
            info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeWebSocket) {
            info.block(true);
            return;
        }
        if (plainHttp) info.redirect(routerUrl);
    }

private:
    bool isServed(const Origin& origin) {
        QMutexLocker lock(&mutex_);
        return served_.contains(origin);
    }

    QMutex mutex_;
    QSet<Origin> served_;
};

class RouterSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    explicit RouterSchemeHandler(EngineHost* host)
        : QWebEngineUrlSchemeHandler(host), host_(host) {}
    void requestStarted(QWebEngineUrlRequestJob* job) override { host_->serveRequest(job); }

private:
    EngineHost* host_;
};

namespace {

void RestrictSettings(QWebEngineSettings* settings) {
    using S = QWebEngineSettings;
    // Scripts run, as in a browser; everything that could show, play, store or send something
    // beyond the page's own text is off. Images are not needed for text and are not fetched.
    const std::pair<S::WebAttribute, bool> attributes[] = {
        {S::JavascriptEnabled, true},
        {S::AutoLoadImages, false},
        {S::JavascriptCanOpenWindows, false},
        {S::JavascriptCanAccessClipboard, false},
        {S::JavascriptCanPaste, false},
        {S::LocalContentCanAccessRemoteUrls, false},
        {S::LocalContentCanAccessFileUrls, false},
        {S::HyperlinkAuditingEnabled, false},
        {S::ErrorPageEnabled, false},
        {S::PluginsEnabled, false},
        {S::FullScreenSupportEnabled, false},
        {S::ScreenCaptureEnabled, false},
        {S::WebGLEnabled, false},
        {S::Accelerated2dCanvasEnabled, false},
        {S::AutoLoadIconsForPage, false},
        {S::TouchIconsEnabled, false},
        {S::FocusOnNavigationEnabled, false},
        {S::AllowRunningInsecureContent, false},
        {S::AllowGeolocationOnInsecureOrigins, false},
        {S::AllowWindowActivationFromJavaScript, false},
        {S::PlaybackRequiresUserGesture, true},
        {S::WebRTCPublicInterfacesOnly, true},
        {S::DnsPrefetchEnabled, false},
        {S::PdfViewerEnabled, false},
        {S::NavigateOnDropEnabled, false},
    };
    for (const auto& [attribute, on] : attributes) settings->setAttribute(attribute, on);
    settings->setUnknownUrlSchemePolicy(S::DisallowUnknownUrlSchemes);
}

}  // namespace

EngineHost::EngineHost(bool shutWebRtc, QObject* parent) : QObject(parent) {
    // A profile without a storage name is off the record: no cache, cookies, history or
    // credentials ever reach the disk.
    profile_ = new QWebEngineProfile(this);
    profile_->setHttpCacheType(QWebEngineProfile::NoCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile_->setSpellCheckEnabled(false);
    profile_->setNotificationPresenter([](std::unique_ptr<QWebEngineNotification>) {});
    RestrictSettings(profile_->settings());
    profile_->scripts()->insert(PageScripts(shutWebRtc));
    gate_ = new RouterRequestGate(this);
    profile_->setUrlRequestInterceptor(gate_);
    profile_->installUrlSchemeHandler(kRouterScheme, new RouterSchemeHandler(this));
    connect(profile_, &QWebEngineProfile::downloadRequested,
            [](QWebEngineDownloadRequest* download) { download->cancel(); });
}

EngineHost::~EngineHost() {
    closing_ = true;
    // Pages must go before their profile, and the profile before its interceptor.
    for (EnginePage* page : findChildren<EnginePage*>(Qt::FindDirectChildrenOnly)) delete page;
    delete profile_;
}

void EngineHost::serveOrigin(const Origin& origin, QObject* owner, RequestServer serve) {
    servers_.insert(origin, {owner, std::move(serve)});
    gate_->setServed(QSet<Origin>(servers_.keyBegin(), servers_.keyEnd()));
}

void EngineHost::withdrawOrigin(const Origin& origin, const QObject* owner) {
    const auto found = servers_.constFind(origin);
    if (found == servers_.cend() || found->owner.data() != owner) return;
    servers_.remove(origin);
    gate_->setServed(QSet<Origin>(servers_.keyBegin(), servers_.keyEnd()));
}

EnginePage* EngineHost::newPage() {
    // A new renderer takes longer to come up than a small page takes to load, so the page that
    // goes out has one already when it can; one still loading the empty page could report that
    // page's loading as its own.
    EnginePage* page = spare_ && spareReady_ ? spare_.data() : new EnginePage(profile_, this);
    if (page == spare_) {
        page->disconnect(this);  // what it reports from now on is its render's
        spare_.clear();
    }
    return page;
}

void EngineHost::prepareSparePage() {
    if (closing_ || spare_) return;
    spare_ = new EnginePage(profile_, this);
    spareReady_ = false;
    connect(spare_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        spareReady_ = ok;
        if (ok) RehearseReading(spare_);
    });
    // A spare whose renderer dies is no use: the next one is made when it is gone.
    connect(spare_, &QWebEnginePage::renderProcessTerminated, spare_, &QObject::deleteLater);
    connect(spare_, &QObject::destroyed, this, &EngineHost::prepareSparePage);
    spare_->warmUp();
}

void EngineHost::releasePage(EnginePage* page) {
    if (page == nullptr) return;
    page->disconnect();
    // Once it is gone, a fresh page waits in its place for the next request.
    connect(page, &QObject::destroyed, this, &EngineHost::prepareSparePage);
    // QTWEBENGINE_6_4_QUIRK released-renderer-runs-on: each page has a renderer of its own. One
    // stuck in a script ignores a polite stop, and one that is done still runs the page's timers
    // after the page is deleted, so it goes at once either way.
    if (const qint64 pid = page->renderProcessPid(); pid > 0) ::kill(pid_t(pid), SIGKILL);
    page->deleteLater();
}

void EngineHost::serveRequest(QWebEngineUrlRequestJob* job) {
    const auto found = servers_.constFind(Origin(job->requestUrl()));
    if (found == servers_.cend() || found->owner.isNull()) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    found->serve(job);
}

}  // namespace quorvane
