#include "browser_component.h"

#include "engine_host.h"
#include "engine_render.h"
#include "page_fetch.h"

#include <QTimer>

namespace quorvane {

namespace {
const QString kBlank = QStringLiteral("about:blank");
}

BrowserInstance::BrowserInstance(int index, WebBrowserCollection* collection, QWidget* parent)
    : QWidget(parent), index_(index), collection_(collection) {
    setObjectName(QStringLiteral("WebBrowser%1").arg(index));
    setFocusPolicy(Qt::NoFocus);
}

void BrowserInstance::Navigate(const QUrl& url) {
    abandonFetch();
    abandonRender();
    bodyText_.clear();
    documentUrl_.clear();
    requested_ = url;
    const quint64 navigation = ++navigation_;
    if (url.toString() == kBlank) {
        // Completes like any other navigation: later, on the event loop, never inside this call,
        // and not at all once a newer navigation has started.
        QTimer::singleShot(0, this, [this, navigation] {
            if (navigation == navigation_) emit DocumentComplete(index_, kBlank);
        });
        return;
    }
    auto* fetch = new PageFetch(url, this);
    fetch_ = fetch;
    connect(fetch, &PageFetch::finished, this,
            [this](const QUrl& finalUrl, const QByteArray& body, const QByteArray& contentType) {
                abandonFetch();
                complete(finalUrl, body, contentType);
            });
    connect(fetch, &PageFetch::failed, this,
            [this](const QUrl& failedUrl, const QString& message, int status) {
                abandonFetch();
                emit NavigateError(index_, failedUrl.toString(), message, status);
            });
    fetch->start();
}

// Handlers of our events may navigate again while a fetch is still emitting, so a fetch is never
// deleted on the spot: it is cut off from this instance and deleted by the event loop.
void BrowserInstance::abandonFetch() {
    if (!fetch_) return;
    fetch_->disconnect(this);
    fetch_->deleteLater();
    fetch_.clear();
}

void BrowserInstance::abandonRender() {
    if (!render_) return;
    render_->disconnect(this);
    render_->abandon();
    render_->deleteLater();
    render_.clear();
}

// The engine reads the page as a browser shows it: its scripts run and its style sheets apply.
void BrowserInstance::complete(const QUrl& url, const QByteArray& body,
                               const QByteArray& contentType) {
    QUrl document = url;
    document.setUserInfo(requested_.userInfo());
    auto* render =
        new EngineRender(collection_->engine(), {document, contentType, body},
                         EngineRender::kDefaultTimeoutMs, EngineRender::kDefaultMemoryLimit, this);
    render_ = render;
    connect(render, &EngineRender::finished, this, [this, url, document](const QString& text) {
        abandonRender();
        bodyText_ = text;
        documentUrl_ = document;
        emit DocumentComplete(index_, url.toString());
    });
    connect(render, &EngineRender::failed, this, [this, url](EngineFailure failure) {
        abandonRender();
        emit NavigateError(
            index_, url.toString(),
            failure == EngineFailure::TimedOut
                ? QStringLiteral("The router's page did not finish loading within 30 seconds.")
            : failure == EngineFailure::TooLarge
                ? QStringLiteral("The router's page is too complex to read.")
                : QStringLiteral("The router's page could not be shown."),
            0);
    });
    render->start();
}

WebBrowserCollection::WebBrowserCollection(QWidget* container, const QRect& geometry)
    : QObject(container), container_(container) {
    BrowserInstance* designed = create(0);
    designed->setGeometry(geometry);
    designed->setVisible(false);
}

// The instances' pages go before the engine that made them.
WebBrowserCollection::~WebBrowserCollection() {
    for (BrowserInstance*& instance : instances_) delete std::exchange(instance, nullptr);
    delete engine_;
}

EngineHost* WebBrowserCollection::engine() {
    if (engine_ == nullptr) engine_ = new EngineHost(this);
    return engine_;
}

int WebBrowserCollection::count() const {
    return int(std::count_if(instances_.begin(), instances_.end(),
                             [](const BrowserInstance* b) { return b != nullptr; }));
}

BrowserInstance* WebBrowserCollection::item(int index) const {
    return index >= 0 && index < instances_.size() ? instances_[index] : nullptr;
}

BrowserInstance* WebBrowserCollection::load(int index) {
    if (item(index)) return item(index);
    BrowserInstance* instance = create(index);
    if (const BrowserInstance* model = item(0)) instance->setGeometry(model->geometry());
    instance->setVisible(false);
    return instance;
}

void WebBrowserCollection::unload(int index) {
    if (index <= 0 || !item(index)) return;  // the designed instance stays for the window's life
    delete instances_[index];
    instances_[index] = nullptr;
}

BrowserInstance* WebBrowserCollection::create(int index) {
    if (instances_.size() <= index) instances_.resize(index + 1);
    auto* instance = new BrowserInstance(index, this, container_);
    instances_[index] = instance;
    connect(instance, &BrowserInstance::DocumentComplete, this,
            &WebBrowserCollection::DocumentComplete);
    connect(instance, &BrowserInstance::NavigateError, this, &WebBrowserCollection::NavigateError);
    return instance;
}

}  // namespace quorvane
