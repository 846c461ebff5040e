#include "browser_component.h"

#include "content_kind.h"
#include "engine_at_first_sight.h"
#include "engine_client.h"
#include "network_isolation.h"
#include "request_url.h"
#include "result_sentences.h"

namespace quorvane {

namespace {

const QString kBlank = QStringLiteral("about:blank");

FetchFailure::Kind FailureOf(EngineFailure failure) {
    switch (failure) {
        case EngineFailure::TimedOut:
            return FetchFailure::Kind::NeverLoaded;
        case EngineFailure::TooLarge:
            return FetchFailure::Kind::TooComplex;
        case EngineFailure::NotShown:
            break;
    }
    return FetchFailure::Kind::NotShown;
}

}  // namespace

BrowserInstance::BrowserInstance(int index, WebBrowserCollection* collection, QWidget* parent)
    : QWidget(parent), index_(index), collection_(collection), keeper_(new CredentialKeeper(this)) {
    setObjectName(QStringLiteral("WebBrowser%1").arg(index));
    setFocusPolicy(Qt::NoFocus);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this,
            [this] { fail(FetchFailure::Kind::TooSlow, DurationText(limits_.pageDeadlineMs)); });
}

BrowserInstance::~BrowserInstance() { abandonWork(); }

void BrowserInstance::Navigate(const QUrl& url) {
    const quint64 navigation = beginNavigation(url);
    if (requested_.toString() == kBlank) {
        // Completes like any other navigation: later, on the event loop, never inside this call,
        // and not at all once a newer navigation has started.
        QTimer::singleShot(0, this, [this, navigation] {
            if (navigation == navigation_) emit DocumentComplete(index_, kBlank);
        });
        return;
    }
    // Instance 1 fetches the router's own log page: a redirect may change its query, never the
    // page.
    PageFetch* fetch = fetchRequested(RedirectPolicy::SamePath);
    connect(fetch, &PageFetch::finished, this, &BrowserInstance::readPage);
    fetch->start();
}

// The answer is never read as a page: nothing of it is rendered, and its status alone decides.
void BrowserInstance::Submit(const QUrl& url) {
    beginNavigation(url);
    PageFetch* fetch = fetchRequested(RedirectPolicy::AnyPath);
    fetch->takeStatusOnly();
    connect(fetch, &PageFetch::finished, this, [this] {
        abandonWork();
        documentUrl_ = requested_;
        emit DocumentComplete(index_, requested_.toString());
    });
    fetch->start();
}

quint64 BrowserInstance::beginNavigation(const QUrl& url) {
    abandonWork();
    bodyText_.clear();
    documentUrl_.clear();
    requested_ = keeper_->take(url);
    return ++navigation_;
}

PageFetch* BrowserInstance::fetchRequested(RedirectPolicy policy) {
    deadline_.start(limits_.pageDeadlineMs);
    auto* fetch = new PageFetch(requested_, keeper_, policy, limits_.fetch, this);
    fetch_ = fetch;
    connect(fetch, &PageFetch::failed, this,
            qOverload<const FetchFailure&>(&BrowserInstance::fail));
    return fetch;
}

void BrowserInstance::readPage(const FetchedPage& page) {
    page_ = page;
    if (ClassifyContentType(page.contentType) == ContentKind::Other) {
        fail(FetchFailure::Kind::NotAPage, QString::fromLatin1(page.contentType));
        return;
    }
    if (IsBinaryBody(page.body)) {
        fail(FetchFailure::Kind::BinaryBody);
        return;
    }
    if (NeedsEngineAtFirstSight(page.body, page.contentType)) {
        renderInEngine();  // the reader would only say so, a process start later
        return;
    }
    auto* reader = new StaticPageReader(limits_.reader, this);
    reader_ = reader;
    connect(reader, &StaticPageReader::finished, this,
            [this](StaticPageReader::Outcome outcome, const QString& text) {
                switch (outcome) {
                    case StaticPageReader::Outcome::Text:
                        complete(text);
                        return;
                    case StaticPageReader::Outcome::TooComplex:
                        fail(FetchFailure::Kind::TooComplex);
                        return;
                    case StaticPageReader::Outcome::NeedsEngine:
                    case StaticPageReader::Outcome::Unavailable:
                        renderInEngine();
                        return;
                }
            });
    reader->read(page.body, page.contentType);
}

// The engine reads the page as a browser shows it: its scripts run and its style sheets apply.
// Its own requests for its router are fetched here, in the window's process.
void BrowserInstance::renderInEngine() {
    auto* reading =
        new EngineReading(collection_->engine(), {page_.url, page_.contentType, page_.body},
                          resourceFetcher(), limits_.engine, this);
    reading_ = reading;
    connect(reading, &EngineReading::finished, this, &BrowserInstance::complete);
    connect(reading, &EngineReading::failed, this, [this](EngineFailure failure) {
        fail(FailureOf(failure), DurationText(limits_.engine.timeoutMs));
    });
    reading->start();
}

// The page's own requests go to its router with the credentials kept for it; the keeper gives
// none for any other origin, and none once this instance is gone. None of them, nor any redirect
// of theirs, may touch a log: see PageMayRequest.
ResourceFetcher BrowserInstance::resourceFetcher() const {
    return [keeper = QPointer<CredentialKeeper>(keeper_)](
               const QUrl& url, const FetchLimits& limits, QObject* parent) {
        auto* fetch = new PageFetch(url, keeper, RedirectPolicy::AnyPath, limits, parent);
        fetch->limitTargets(PageMayRequest);
        return fetch;
    };
}

void BrowserInstance::complete(const QString& text) {
    const QUrl url = page_.url;
    abandonWork();
    bodyText_ = text;
    documentUrl_ = url;
    emit DocumentComplete(index_, url.toString());
}

void BrowserInstance::fail(FetchFailure::Kind kind, const QString& details) {
    const QString address = requested_.host() + u':' + QString::number(requested_.port(80));
    fail(FetchFailure::make(kind, address, details));
}

void BrowserInstance::fail(const FetchFailure& failure) {
    abandonWork();
    emit NavigateError(index_, requested_.toString(), FailureSentence(failure), failure.httpStatus);
}

// Handlers of our events may navigate again while a fetch, a reader or a render is still
// emitting, so none of them is deleted on the spot: each is cut off from this instance and
// stopped at once (its connection dropped, its helper or renderer process killed), and the event
// loop deletes what is left.
void BrowserInstance::abandonWork() {
    deadline_.stop();
    page_ = {};
    if (fetch_) {
        fetch_->disconnect(this);
        fetch_->abort();
        fetch_->deleteLater();
        fetch_.clear();
    }
    if (reader_) {
        reader_->disconnect(this);
        reader_->deleteLater();  // its helper is killed as the reader goes
        reader_.clear();
    }
    if (reading_) {
        reading_->disconnect(this);
        reading_->abandon();
        reading_->deleteLater();
        reading_.clear();
    }
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

EngineClient* WebBrowserCollection::engine() {
    if (engine_ == nullptr) engine_ = new EngineClient(this);
    return engine_;
}

bool WebBrowserCollection::engineSharesOurNetwork() const {
    return engine_ && SharesThisNetwork(engine_->helperPid()).value_or(false);
}

void WebBrowserCollection::setLimits(const NavigationLimits& limits) {
    limits_ = limits;
    for (BrowserInstance* instance : std::as_const(instances_)) {
        if (instance) instance->setLimits(limits);
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
    auto* instance = new BrowserInstance(index, this, container_);
    instance->setLimits(limits_);
    instances_[index] = instance;
    connect(instance, &BrowserInstance::DocumentComplete, this,
            &WebBrowserCollection::DocumentComplete);
    connect(instance, &BrowserInstance::NavigateError, this, &WebBrowserCollection::NavigateError);
    return instance;
}

}  // namespace quorvane
