#include "engine_render.h"

#include "engine_host.h"
#include "engine_page.h"
#include "page_fetch.h"
#include "process_memory.h"
#include "router_scheme.h"

#include <QBuffer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineUrlRequestJob>

namespace quorvane {

namespace {

// Runs in a script world of its own, so nothing the page defined can change what it reads. A
// text area counts with its current value, as lines of preformatted text of its own, because
// routers show their logs in them and scripts fill them. The text comes back behind one mark
// of ours: the engine drops a U+FEFF that starts a script's result, and a page's text may.
constexpr char kReadBodyText[] = R"JS(
(() => {
  const body = document.body;
  if (!body) return '[';
  for (const area of Array.from(body.querySelectorAll('textarea'))) {
    const style = getComputedStyle(area);
    const pre = document.createElement('pre');
    pre.textContent = area.value;
    pre.style.setProperty('display', style.display === 'none' ? 'none' : 'block', 'important');
    pre.style.setProperty('visibility', style.visibility, 'important');
    pre.style.setProperty('white-space', 'pre', 'important');
    pre.style.setProperty('text-transform', 'none', 'important');
    area.replaceWith(pre);
  }
  return '[' + body.innerText;
})()
)JS";

}  // namespace

QString LogTextFromInnerText(QString innerText) {
    innerText.replace(u'\n', QStringLiteral("\r\n"));
    if (!innerText.isEmpty() && !innerText.endsWith(u'\n')) innerText += QStringLiteral("\r\n");
    return innerText;
}

EngineRender::EngineRender(EngineHost* host, EngineDocument document, ResourceFetcher fetcher,
                           const EngineLimits& limits, QObject* parent)
    : QObject(parent),
      host_(host),
      document_(std::move(document)),
      fetcher_(std::move(fetcher)),
      pageUrl_(ToRouterScheme(document_.url)),
      originKey_(OriginKey(document_.url)),
      limits_(limits),
      resourceBytesLeft_(limits.fetch.maxTotalBytes) {
    timeout_.setSingleShot(true);
    timeout_.setInterval(limits.timeoutMs);
    connect(&timeout_, &QTimer::timeout, this, [this] { fail(EngineFailure::TimedOut); });
    // The renderer is a process of its own, so its memory can be watched and the page stopped
    // before a hostile document takes the machine's.
    memoryCheck_.setInterval(kMemoryCheckMs);
    connect(&memoryCheck_, &QTimer::timeout, this, [this] {
        if (ResidentBytes(rendererPid()) > limits_.memoryBytes) fail(EngineFailure::TooLarge);
    });
    readyCheck_.setInterval(kReadyCheckMs);
    connect(&readyCheck_, &QTimer::timeout, this, &EngineRender::checkReadyState);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (pendingRequests_ == 0 && resourceRequests_ == requestsWhenSettling_) {
            read();
        } else {
            readWhenSettled();
        }
    });
}

EngineRender::~EngineRender() { stop(); }

void EngineRender::abandon() {
    done_ = true;
    stop();
}

void EngineRender::start() {
    host_->serveOrigin(originKey_, this);
    page_ = host_->newPage();
    connect(page_, &QWebEnginePage::loadingChanged, this, &EngineRender::onLoadingChanged);
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            [this] { fail(EngineFailure::NotShown); });
    timeout_.start();
    memoryCheck_.start();
    page_->open(pageUrl_);
}

void EngineRender::serve(QWebEngineUrlRequestJob* job) {
    const QUrl url = ToHttpScheme(job->requestUrl());
    if (done_ || job->requestMethod() != "GET") {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    if (url.path() == document_.url.path() && url.query() == document_.url.query()) {
        auto* bytes = new QBuffer(job);
        bytes->setData(document_.body);
        bytes->open(QIODevice::ReadOnly);
        job->reply(
            document_.contentType.isEmpty() ? QByteArray("text/html") : document_.contentType,
            bytes);
        return;
    }
    if (++resourceRequests_ > limits_.maxResourceRequests || resourceBytesLeft_ <= 0) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    // The page's own resources are read from its router by the fetches its component makes,
    // and all of them together get no more room than the page had.
    FetchLimits limits = limits_.fetch;
    limits.maxTotalBytes = resourceBytesLeft_;
    PageFetch* fetch = fetcher_ ? fetcher_(url, limits, this) : nullptr;
    if (!fetch) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    fetches_.append(fetch);
    ++pendingRequests_;
    QPointer<QWebEngineUrlRequestJob> pending(job);
    connect(fetch, &PageFetch::finished, this, [this, fetch, pending](const FetchedPage& page) {
        resourceBytesLeft_ -= page.body.size();
        if (pending) {
            auto* bytes = new QBuffer(pending);
            bytes->setData(page.body);
            bytes->open(QIODevice::ReadOnly);
            pending->reply(page.contentType.isEmpty() ? QByteArray("application/octet-stream")
                                                      : page.contentType,
                           bytes);
        }
        resourceDone(fetch);
    });
    connect(fetch, &PageFetch::failed, this, [this, fetch, pending] {
        if (pending) pending->fail(QWebEngineUrlRequestJob::UrlNotFound);
        resourceDone(fetch);
    });
    // A request the engine gives up on takes its fetch with it.
    connect(job, &QObject::destroyed, fetch, [this, fetch] { resourceDone(fetch); });
    fetch->start();
}

void EngineRender::resourceDone(PageFetch* fetch) {
    if (!fetches_.removeOne(fetch)) return;
    fetch->disconnect(this);
    fetch->abort();
    fetch->deleteLater();
    --pendingRequests_;
    if (loaded_) readWhenSettled();
}

qint64 EngineRender::rendererPid() const { return page_ ? page_->renderProcessPid() : 0; }

// The page has loaded when the engine says so of the page itself. A navigation that the page
// attempts and we refuse can end the engine's loading reports without that word, so any other
// end of loading sends us to ask the document itself until it is complete.
void EngineRender::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (done_ || loaded_) return;
    const bool itself = OriginKey(info.url()) == originKey_ &&
                        info.url().path() == pageUrl_.path() &&
                        info.url().query() == pageUrl_.query();
    switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            return;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            if (itself) {
                loadedNow();
                return;
            }
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            if (itself) {
                fail(EngineFailure::NotShown);
                return;
            }
            break;
    }
    readyCheck_.start();
}

void EngineRender::checkReadyState() {
    if (done_ || loaded_ || !page_) return;
    page_->runJavaScript(QStringLiteral("document.readyState"), QWebEngineScript::ApplicationWorld,
                         [self = QPointer<EngineRender>(this)](const QVariant& state) {
                             if (self && state.toString() == QLatin1String("complete")) {
                                 self->loadedNow();
                             }
                         });
}

void EngineRender::loadedNow() {
    if (done_ || loaded_) return;
    loaded_ = true;
    readyCheck_.stop();
    readWhenSettled();
}

void EngineRender::readWhenSettled() {
    if (done_ || pendingRequests_ > 0) return;  // the last request to finish brings us back
    requestsWhenSettling_ = resourceRequests_;
    settle_.start();
}

void EngineRender::read() {
    if (done_ || !page_) return;
    page_->runJavaScript(QString::fromLatin1(kReadBodyText), QWebEngineScript::ApplicationWorld,
                         [self = QPointer<EngineRender>(this)](const QVariant& text) {
                             if (!self || self->done_) return;
                             self->done_ = true;
                             self->stop();
                             emit self->finished(LogTextFromInnerText(text.toString().mid(1)));
                         });
}

void EngineRender::fail(EngineFailure failure) {
    if (done_) return;
    done_ = true;
    stop();
    emit failed(failure);
}

void EngineRender::stop() {
    timeout_.stop();
    readyCheck_.stop();
    memoryCheck_.stop();
    settle_.stop();
    for (const QPointer<PageFetch>& fetch : std::exchange(fetches_, {})) delete fetch.data();
    pendingRequests_ = 0;
    if (host_) host_->withdrawOrigin(originKey_, this);
    if (page_) {
        host_->releasePage(page_);
        page_.clear();
    }
}

}  // namespace quorvane
