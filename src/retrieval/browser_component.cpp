#include "browser_component.h"

#include "content_kind.h"
#include "engine_at_first_sight.h"
#include "engine_host.h"
#include "engine_render.h"

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
    : QWidget(parent), index_(index), collection_(collection) {
    setObjectName(QStringLiteral("WebBrowser%1").arg(index));
    setFocusPolicy(Qt::NoFocus);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this,
            [this] { fail(FetchFailure::Kind::TooSlow, DurationText(limits_.pageDeadlineMs)); });
}

BrowserInstance::~BrowserInstance() { abandonWork(); }

void BrowserInstance::Navigate(const QUrl& url) {
    abandonWork();
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
    deadline_.start(limits_.pageDeadlineMs);
    // Instance 1 fetches the router's own log page: a redirect may change its query, never the
    // page.
    auto* fetch = new PageFetch(url, CredentialsFromUserInfo(url), RedirectPolicy::SamePath,
                                limits_.fetch, this);
    fetch_ = fetch;
    connect(fetch, &PageFetch::finished, this, &BrowserInstance::readPage);
    connect(fetch, &PageFetch::failed, this,
            qOverload<const FetchFailure&>(&BrowserInstance::fail));
    fetch->start();
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
void BrowserInstance::renderInEngine() {
    QUrl document = page_.url;
    document.setUserInfo(requested_.userInfo());
    auto* render = new EngineRender(
        collection_->engine(), {document, page_.contentType, page_.body}, limits_.engine, this);
    render_ = render;
    connect(render, &EngineRender::finished, this, &BrowserInstance::complete);
    connect(render, &EngineRender::failed, this, [this](EngineFailure failure) {
        fail(FailureOf(failure), DurationText(limits_.engine.timeoutMs));
    });
    render->start();
}

void BrowserInstance::complete(const QString& text) {
    const QUrl url = page_.url;
    abandonWork();
    bodyText_ = text;
    documentUrl_ = url;
    documentUrl_.setUserInfo(requested_.userInfo());
    emit DocumentComplete(index_, url.toString());
}

void BrowserInstance::fail(FetchFailure::Kind kind, const QString& details) {
    const QString address = requested_.host() + u':' + QString::number(requested_.port(80));
    fail(FetchFailure::Make(kind, address, details));
}

void BrowserInstance::fail(const FetchFailure& failure) {
    abandonWork();
    emit NavigateError(index_, requested_.toString(QUrl::RemoveUserInfo), FailureSentence(failure),
                       failure.httpStatus);
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
    if (render_) {
        render_->disconnect(this);
        render_->abandon();
        render_->deleteLater();
        render_.clear();
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

EngineHost* WebBrowserCollection::engine() {
    if (engine_ == nullptr) engine_ = new EngineHost(this);
    return engine_;
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
