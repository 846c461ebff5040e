#include "page_loader.h"

#include "content_kind.h"
#include "engine_at_first_sight.h"
#include "engine_client.h"
#include "network_isolation.h"
#include "origin.h"
#include "request_url.h"

namespace quorvane {

namespace {

PageFailure::Kind FailureOf(EngineFailure failure) {
    switch (failure) {
        case EngineFailure::TimedOut:
            return PageFailure::Kind::NeverLoaded;
        case EngineFailure::TooLarge:
            return PageFailure::Kind::OverMemory;
        case EngineFailure::NotShown:
            break;
    }
    return PageFailure::Kind::NotShown;
}

}  // namespace

PageReaders::PageReaders(QObject* parent) : QObject(parent) {}

PageReaders::~PageReaders() { delete engine_; }

EngineClient* PageReaders::engine() {
    if (engine_ == nullptr) engine_ = new EngineClient(this);
    return engine_;
}

void PageReaders::prepare() {
    engine()->prepare();
    if (!spareReader_) {
        spareReader_ = new StaticPageReader(limits_.reader, this);
        spareReader_->prepare();
    }
}

StaticPageReader* PageReaders::takeReader(const StaticPageReader::Limits& limits, QObject* parent) {
    StaticPageReader* reader = spareReader_;
    spareReader_.clear();
    if (reader && reader->limits() == limits) {
        reader->setParent(parent);
        return reader;
    }
    delete reader;
    return new StaticPageReader(limits, parent);
}

bool PageReaders::engineSharesOurNetwork() const {
    return engine_ && SharesThisNetwork(engine_->helperPid()).value_or(false);
}

PageLoader::PageLoader(PageReaders* readers, QObject* parent)
    : PageSource(parent), readers_(readers), keeper_(new CredentialKeeper(this)) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this,
            [this] { fail(PageFailure::Kind::TooSlow, TimeLimit{limits_.pageDeadlineMs}); });
}

PageLoader::~PageLoader() { abandonWork(); }

void PageLoader::Navigate(const QUrl& url) {
    const quint64 navigation = beginNavigation(url);
    if (requested_.toString() == QLatin1String(kBlankPage)) {
        // Completes like any other navigation: later, on the event loop, never inside this call,
        // and not at all once a newer navigation has started.
        QTimer::singleShot(0, this, [this, navigation] {
            if (navigation == navigation_) emit DocumentComplete(QString::fromLatin1(kBlankPage));
        });
        return;
    }
    // The router's own log page is read: a redirect may change its query, never the page.
    PageFetch* fetch = fetchRequested(RedirectPolicy::SamePath);
    connect(fetch, &PageFetch::finished, this, &PageLoader::readPage);
    fetch->start();
}

// The answer is never read as a page: nothing of it is rendered, and its status alone decides.
void PageLoader::Submit(const QUrl& url) {
    beginNavigation(url);
    PageFetch* fetch = fetchRequested(RedirectPolicy::AnyPath);
    fetch->takeStatusOnly();
    connect(fetch, &PageFetch::finished, this, [this] {
        abandonWork();
        documentUrl_ = requested_;
        emit DocumentComplete(requested_.toString());
    });
    fetch->start();
}

quint64 PageLoader::beginNavigation(const QUrl& url) {
    abandonWork();
    bodyText_.clear();
    documentUrl_.clear();
    limits_ = readers_->limits();
    requested_ = keeper_->take(url);
    return ++navigation_;
}

PageFetch* PageLoader::fetchRequested(RedirectPolicy policy) {
    deadline_.start(limits_.pageDeadlineMs);
    auto* fetch = new PageFetch(requested_, keeper_, policy, limits_.fetch, this);
    fetch_ = fetch;
    connect(fetch, &PageFetch::failed, this, qOverload<const PageFailure&>(&PageLoader::fail));
    return fetch;
}

void PageLoader::readPage(const FetchedPage& page) {
    page_ = page;
    if (ClassifyContentType(page.contentType) == ContentKind::Other) {
        fail(PageFailure::Kind::NotAPage, QString::fromLatin1(page.contentType));
        return;
    }
    if (IsBinaryBody(page.body)) {
        fail(PageFailure::Kind::BinaryBody);
        return;
    }
    if (NeedsEngineAtFirstSight(page.body, page.contentType)) {
        renderInEngine();  // the reader would only say so, a process start later
        return;
    }
    StaticPageReader* reader = readers_->takeReader(limits_.reader, this);
    reader_ = reader;
    connect(reader, &StaticPageReader::finished, this,
            [this](StaticPageReader::Outcome outcome, const QString& text) {
                switch (outcome) {
                    case StaticPageReader::Outcome::Text:
                        complete(text);
                        return;
                    case StaticPageReader::Outcome::TooComplex:
                        fail(PageFailure::Kind::TooComplex);
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
void PageLoader::renderInEngine() {
    auto* reading =
        new EngineReading(readers_->engine(), {page_.url, page_.contentType, page_.body},
                          resourceFetcher(), limits_.engine, this);
    reading_ = reading;
    connect(reading, &EngineReading::finished, this, &PageLoader::complete);
    connect(reading, &EngineReading::failed, this, [this](EngineFailure failure) {
        fail(FailureOf(failure), TimeLimit{limits_.engine.timeoutMs});
    });
    reading->start();
}

// The page's own requests go to its router with the credentials kept for it; the keeper gives
// none for any other origin, and none once this loader is gone. None of them, nor any redirect
// of theirs, may touch a log: see PageMayRequest.
ResourceFetcher PageLoader::resourceFetcher() const {
    return [keeper = QPointer<CredentialKeeper>(keeper_)](
               const QUrl& url, const FetchLimits& limits, QObject* parent) {
        auto* fetch = new PageFetch(url, keeper, RedirectPolicy::AnyPath, limits, parent);
        fetch->limitTargets(PageMayRequest);
        return fetch;
    };
}

void PageLoader::complete(const QString& text) {
    const QUrl url = page_.url;
    abandonWork();
    bodyText_ = text;
    documentUrl_ = url;
    emit DocumentComplete(url.toString());
}

void PageLoader::fail(PageFailure::Kind kind, PageFailure::Details details) {
    const QString address = Origin(requested_).authority();
    fail(PageFailure::make(kind, address, std::move(details)));
}

void PageLoader::fail(const PageFailure& failure) {
    abandonWork();
    emit NavigateError(requested_.toString(), failure);
}

// Handlers of our events may navigate again while a fetch, a reader or a render is still
// emitting, so none of them is deleted on the spot: each is cut off from this loader and
// stopped at once (its connection dropped, its helper or renderer process killed), and the event
// loop deletes what is left.
void PageLoader::abandonWork() {
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

}  // namespace quorvane
