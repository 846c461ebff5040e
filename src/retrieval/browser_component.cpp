#include "browser_component.h"

#include "page_fetch.h"
#include "page_text.h"

#include <QFutureWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvane {

namespace {
const QString kBlank = QStringLiteral("about:blank");
}

BrowserInstance::BrowserInstance(int index, QWidget* parent) : QWidget(parent), index_(index) {
    setObjectName(QStringLiteral("WebBrowser%1").arg(index));
    setFocusPolicy(Qt::NoFocus);
}

void BrowserInstance::Navigate(const QUrl& url) {
    abandonFetch();
    bodyText_.clear();
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

// A large or hostile page takes a while to parse; the window stays responsive meanwhile, and the
// completion is raised on this thread once the text is ready.
void BrowserInstance::complete(const QUrl& url, const QByteArray& body,
                               const QByteArray& contentType) {
    const quint64 navigation = navigation_;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, url, navigation] {
        watcher->deleteLater();
        if (navigation != navigation_) return;  // navigated elsewhere while the text was made
        bodyText_ = watcher->result();
        emit DocumentComplete(index_, url.toString());
    });
    watcher->setFuture(QtConcurrent::run(
        [body, contentType] { return BodyInnerText(DecodePageBytes(body, contentType)); }));
}

WebBrowserCollection::WebBrowserCollection(QWidget* container, const QRect& geometry)
    : QObject(container), container_(container) {
    BrowserInstance* designed = create(0);
    designed->setGeometry(geometry);
    designed->setVisible(false);
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
    auto* instance = new BrowserInstance(index, container_);
    instances_[index] = instance;
    connect(instance, &BrowserInstance::DocumentComplete, this,
            &WebBrowserCollection::DocumentComplete);
    connect(instance, &BrowserInstance::NavigateError, this, &WebBrowserCollection::NavigateError);
    return instance;
}

}  // namespace quorvane
