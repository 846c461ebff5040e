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
    // Instance 1 fetches the router's own log page: a redirect may change its query, never
    // the page.
    auto* fetch = new PageFetch(url, CredentialsFromUserInfo(url), RedirectPolicy::SamePath,
                                fetchLimits_, this);
    fetch_ = fetch;
    connect(fetch, &PageFetch::finished, this, [this](const FetchedPage& page) {
        abandonFetch();
        complete(page.url, page.body, page.contentType);
    });
    const QString reported = url.toString(QUrl::RemoveUserInfo);
    connect(fetch, &PageFetch::failed, this, [this, reported](const FetchFailure& failure) {
        abandonFetch();
        emit NavigateError(index_, reported, FailureSentence(failure), failure.httpStatus);
    });
    fetch->start();
}

// Handlers of our events may navigate again while a fetch is still emitting, so a fetch is never
// deleted on the spot: it is cut off from this instance, its connection is dropped, and the
// event loop deletes it.
void BrowserInstance::abandonFetch() {
    if (!fetch_) return;
    fetch_->disconnect(this);
    fetch_->abort();  // its connection goes now, whenever the object itself goes
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

void WebBrowserCollection::setFetchLimits(const FetchLimits& limits) {
    fetchLimits_ = limits;
    for (BrowserInstance* instance : std::as_const(instances_)) {
        if (instance) instance->setFetchLimits(limits);
    }
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
    instance->setFetchLimits(fetchLimits_);
    instances_[index] = instance;
    connect(instance, &BrowserInstance::DocumentComplete, this,
            &WebBrowserCollection::DocumentComplete);
    connect(instance, &BrowserInstance::NavigateError, this, &WebBrowserCollection::NavigateError);
    return instance;
}

}  // namespace quorvane
