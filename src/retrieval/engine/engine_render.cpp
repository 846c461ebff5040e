#include "engine_render.h"

#include "engine_host.h"
#include "engine_page.h"
#include "log_text.h"
#include "process_memory.h"
#include "router_scheme.h"

#include <QBuffer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineUrlRequestJob>

namespace quorvane {

namespace {

// Runs in a script world of its own, so nothing the page defined can change what it reads. It
// first asks the page's settle watch (page_scripts.cpp) whether the page's scripts still wait on
// something, or only keep moving, and marks the text with the answer: ']' waiting, '~' moving,
// '[' neither. The mark also keeps the text's own first character
// (QTWEBENGINE_6_4_QUIRK result-drops-leading-feff): the engine drops a U+FEFF that starts a
// script's result, and a page's text may. A text area counts with its current value, as lines of
// preformatted text of its own, because routers show their logs in them and scripts fill them;
// it is back in its place before the page's scripts run again, since a page may be read more
// than once. The preformatted block holds a stand-in for the value, put back into the text once
// read: laying out a long log a second time, as preformatted text beside the text area's own,
// would cost a reading more than the page's own load. The stand-in is ASCII letters, digits and
// brackets, which innerText gives back as they are once text-transform is off, and new for every
// reading, so a page cannot have written it beforehand. Every font has them: a character that no
// font has sends the engine through every font on the system, 3 ms of a reading.
constexpr char kReadBodyText[] = R"JS(
(() => {
  const refused = name => !window.dispatchEvent(new Event(name, {cancelable: true}));
  const mark = refused('quorvane-waiting') ? ']' : refused('quorvane-moving') ? '~' : '[';
  const body = document.body;
  if (!body) return mark;
  const swapped = [];
  const values = [];
  const nonce = 'quorvane' + crypto.getRandomValues(new Uint32Array(2)).join('x');
  for (const area of Array.from(body.querySelectorAll('textarea'))) {
    const style = getComputedStyle(area);
    const pre = document.createElement('pre');
    // An empty value stays empty: a block without text adds no line of its own.
    if (area.value) pre.textContent = nonce + '[' + values.push(area.value) + ']';
    pre.style.setProperty('display', style.display === 'none' ? 'none' : 'block', 'important');
    pre.style.setProperty('visibility', style.visibility, 'important');
    pre.style.setProperty('white-space', 'pre', 'important');
    pre.style.setProperty('text-transform', 'none', 'important');
    area.replaceWith(pre);
    swapped.push([pre, area]);
  }
  let text = body.innerText;
  for (const [pre, area] of swapped) pre.replaceWith(area);
  if (values.length) {
    text = text.split(nonce).map((piece, i) => {
      if (i === 0) return piece;
      const end = piece.indexOf(']');
      if (end < 0) return piece;
      return values[Number(piece.slice(1, end)) - 1] + piece.slice(end + 1);
    }).join('');
  }
  return mark + text;
})()
)JS";

// The rehearsal and the reading run this one text: the renderer reuses what it compiled only for
// the very same source.
const QString& ReadingScript() {
    static const QString script = QString::fromLatin1(kReadBodyText);
    return script;
}

}  // namespace

void RehearseReading(EnginePage* page) {
    page->runJavaScript(ReadingScript(), QWebEngineScript::ApplicationWorld);
}

QString LogTextFromInnerText(QString innerText) {
    innerText.replace(u'\n', kLineEnd);
    if (!innerText.isEmpty() && !innerText.endsWith(u'\n')) innerText += kLineEnd;
    return innerText;
}

EngineRender::EngineRender(EngineHost* host, EngineDocument document, const RenderLimits& limits,
                           QObject* parent)
    : QObject(parent),
      host_(host),
      document_(std::move(document)),
      pageUrl_(ToRouterScheme(document_.url)),
      limits_(limits) {
    timeout_.setSingleShot(true);
    timeout_.setInterval(limits.timeoutMs);
    connect(&timeout_, &QTimer::timeout, this,
            [this] { fail(engine_protocol::Failure::TimedOut); });
    // QTWEBENGINE_6_4_QUIRK no-memory-limit: the engine has no memory limit of its own. The
    // renderer is a process of its own, so its memory can be watched and the page stopped before
    // a hostile document takes the machine's.
    memoryCheck_.setInterval(kMemoryCheckMs);
    connect(&memoryCheck_, &QTimer::timeout, this, [this] {
        if (ResidentBytes(rendererPid()) > limits_.memoryBytes) {
            fail(engine_protocol::Failure::TooLarge);
        }
    });
    readyCheck_.setInterval(kReadyCheckMs);
    connect(&readyCheck_, &QTimer::timeout, this, &EngineRender::checkReadyState);
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, &EngineRender::read);
}

EngineRender::~EngineRender() {
    done_ = true;
    stop();
}

void EngineRender::start() {
    host_->serveOrigin(Origin(pageUrl_), this,
                       [this](QWebEngineUrlRequestJob* job) { serve(job); });
    page_ = host_->newPage();
    connect(page_, &QWebEnginePage::loadingChanged, this, &EngineRender::onLoadingChanged);
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            [this] { fail(engine_protocol::Failure::NotShown); });
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
    if (int(lastRequest_) >= limits_.maxRequests) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const quint64 request = ++lastRequest_;
    pending_.insert(request, job);
    // A request the engine gives up on is given up on by the program too.
    connect(job, &QObject::destroyed, this, [this, request] {
        if (pending_.contains(request)) {
            emit resourceCancelled(request);
            resourceDone(request);
        }
    });
    emit resourceRequested(request, job->requestMethod(), url);
}

void EngineRender::answer(quint64 request, bool ok, const QByteArray& contentType,
                          const QByteArray& body) {
    const QPointer<QWebEngineUrlRequestJob> job = pending_.value(request);
    if (!pending_.contains(request)) return;
    if (job && ok) {
        auto* bytes = new QBuffer(job);
        bytes->setData(body);
        bytes->open(QIODevice::ReadOnly);
        job->reply(contentType.isEmpty() ? QByteArray("application/octet-stream") : contentType,
                   bytes);
    } else if (job) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    }
    resourceDone(request);
}

void EngineRender::resourceDone(quint64 request) {
    if (const QPointer<QWebEngineUrlRequestJob> job = pending_.take(request)) {
        job->disconnect(this);
    }
    ++answered_;
    sinceAnswer_.start();
    previous_.reset();
    if (loaded_) readWhenSettled();
}

qint64 EngineRender::rendererPid() const { return page_ ? page_->renderProcessPid() : 0; }

// The page has loaded when the engine says so of the page itself. A navigation that the page
// attempts and we refuse can end the engine's loading reports without that word
// (QTWEBENGINE_6_4_QUIRK refused-navigation-ends-loading), so any other end of loading sends us
// to ask the document itself until it is complete.
void EngineRender::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (done_ || loaded_) return;
    const bool itself = Origin(info.url()) == Origin(pageUrl_) &&
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
                fail(engine_protocol::Failure::NotShown);
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
    sinceAnswer_.start();
    readyCheck_.stop();
    read();
}

// A loaded page is read at once, unless its own requests are still under way: then once the last
// is answered, and a moment later, so that the script that asked has put the answer in.
void EngineRender::readWhenSettled() {
    if (done_ || !pending_.isEmpty() || reading_) return;  // the last answer brings us back
    settle_.start(kLateAnswerMs);
}

void EngineRender::read() {
    if (done_ || !page_ || reading_ || !pending_.isEmpty()) return;
    reading_ = true;
    requestsWhenRead_ = lastRequest_;
    answeredWhenRead_ = answered_;
    page_->runJavaScript(ReadingScript(), QWebEngineScript::ApplicationWorld,
                         [self = QPointer<EngineRender>(this)](const QVariant& text) {
                             if (self) self->readNow(text.toString());
                         });
}

// What was read holds only if the page asked for nothing and was answered nothing meanwhile: a
// request its scripts sent while loading may reach us after the load is reported, and its answer
// changes the page. It is the page's text once its scripts wait on nothing, or once two readings
// a moment apart agree while the scripts only keep moving. A page that never agrees with itself
// (a clock with tenths, a banner that scrolls) is taken as it was last read a while after its
// load or its last answer: what it waited on has had its time, and what still moves is not the
// log.
void EngineRender::readNow(const QString& text) {
    reading_ = false;
    if (done_) return;
    if (!pending_.isEmpty() || lastRequest_ != requestsWhenRead_ ||
        answered_ != answeredWhenRead_) {
        previous_.reset();
        readWhenSettled();
        return;
    }
    const QString body = text.mid(1);
    const bool waiting = text.startsWith(u']');
    const bool moving = text.startsWith(u'~');
    if ((waiting || (moving && previous_ != body)) && sinceAnswer_.elapsed() < kMaxBusyMs) {
        previous_ = moving ? std::optional<QString>(body) : std::nullopt;
        settle_.start(kReadAgainMs);
        return;
    }
    done_ = true;
    // The text goes out first: the user waits for it, not for the renderer's end.
    const QPointer<EngineRender> self(this);
    emit finished(LogTextFromInnerText(body));
    if (self) stop();
}

void EngineRender::fail(engine_protocol::Failure failure) {
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
    for (const QPointer<QWebEngineUrlRequestJob>& job : std::exchange(pending_, {})) {
        if (job) {
            job->disconnect(this);
            job->fail(QWebEngineUrlRequestJob::RequestAborted);
        }
    }
    if (host_) host_->withdrawOrigin(Origin(pageUrl_), this);
    if (page_) {
        host_->releasePage(page_);
        page_.clear();
    }
}

}  // namespace quorvane
