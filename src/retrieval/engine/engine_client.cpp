#include "engine_client.h"

#include "helper_environment.h"
#include "origin.h"
#include "process_end.h"
#include "process_memory.h"

#include <QProcess>
#include <QSet>

#include <cstdio>

namespace quorvane {

using engine_protocol::Message;
using engine_protocol::MessageOf;
using engine_protocol::MessageType;

namespace {

// A helper's Hello says a sentence or two of itself; any other frame but a page's text names an
// address at most, which the engine keeps under 2 MiB.
constexpr qint64 kMaxHelloBytes = 16 << 10;
constexpr qint64 kMaxOtherFrameBytes = 4 << 20;

// What the helper has to say of itself (running as root, no network namespace) is said once in a
// run of the program, however often the helper starts.
void SayOnce(const QString& notes) {
    static QSet<QString> said;
    for (const QString& line : notes.split(u'\n', Qt::SkipEmptyParts)) {
        if (said.contains(line)) continue;
        said.insert(line);
        std::fprintf(stderr, "%s\n", qPrintable(line));
    }
}

}  // namespace

EngineClient::EngineClient(QObject* parent) : QObject(parent) {}

EngineClient::~EngineClient() {
    for (const QPointer<EngineReading>& reading : std::exchange(readings_, {})) {
        if (reading) reading->client_.clear();
    }
    dropHelper();
}

qint64 EngineClient::helperPid() const {
    return process_ && process_->state() == QProcess::Running ? process_->processId() : 0;
}

bool EngineClient::ensureHelper() {
    if (process_) return true;
    const QStringList command = HelperCommand(Helper::Engine);
    if (command.isEmpty()) return false;
    auto* process = new QProcess(this);
    process_ = process;
    // The helper's diagnostics (Chromium's, a sanitizer's) belong with the program's own.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setProcessEnvironment(HelperEnvironment());
    connect(process, &QProcess::readyReadStandardOutput, this, &EngineClient::onReadyRead);
    connect(process, &QProcess::finished, this, &EngineClient::onHelperGone);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) onHelperGone();
    });
    process->start(command.first(), command.mid(1), QIODevice::ReadWrite);
    return process_ != nullptr;
}

quint64 EngineClient::open(EngineReading* reading, const EngineDocument& document,
                           const EngineLimits& limits) {
    if (!ensureHelper()) return 0;
    const quint64 page = ++lastPage_;
    Message message = MessageOf(MessageType::Open, page);
    message.url = document.url;
    message.contentType = document.contentType;
    message.body = document.body;
    message.limits = limits;
    if (!send(message)) return 0;
    readings_.insert(page, reading);
    return page;
}

bool EngineClient::send(const Message& message) {
    if (!process_) return false;
    const QByteArray frame = engine_protocol::Encode(message);
    if (process_->bytesToWrite() + frame.size() > inputLimit_) {
        killHelper(message.page, EngineFailure::NotShown);
        return false;
    }
    process_->write(frame);
    return true;
}

void EngineClient::close(quint64 page) {
    if (readings_.remove(page)) send(MessageOf(MessageType::Close, page));
}

void EngineClient::onReadyRead() {
    if (!process_) return;
    reader_.append(process_->readAllStandardOutput());
    while (process_) {
        const std::optional<Message> message = reader_.next();
        if (!message) break;
        dispatch(*message);
    }
    // A helper that says something this program cannot read is no helper of ours any more.
    if (process_ && reader_.broken()) killHelper(0, EngineFailure::NotShown);
}

engine_protocol::FrameReader EngineClient::freshReader() {
    return engine_protocol::FrameReader(
        engine_protocol::kMaxFrameToProgram,
        [this](MessageType type, quint64 page) { return frameLimit(type, page); });
}

// Nothing the helper says is held beyond what it may say: what concerns no page open is not
// held at all.
qint64 EngineClient::frameLimit(MessageType type, quint64 page) const {
    switch (type) {
        case MessageType::Hello:
            return kMaxHelloBytes;
        case MessageType::Request:
        case MessageType::Cancel:
        case MessageType::Text:
        case MessageType::Failed:
            if (const QPointer<EngineReading> reading = readings_.value(page)) {
                return type == MessageType::Text ? reading->maxTextFrameBytes()
                                                 : kMaxOtherFrameBytes;
            }
            return 0;
        default:
            return kMaxOtherFrameBytes;  // not the helper's to say: ignored, or, unknown, fatal
    }
}

// The helper is taken at its word only within the protocol: a second Hello, or a frame past its
// limit other than a page's text, and it is a helper of ours no more.
void EngineClient::dispatch(const Message& message) {
    if (message.type == MessageType::Hello) {
        if (message.dropped || std::exchange(greeted_, true)) {
            killHelper(0, EngineFailure::NotShown);
        } else {
            SayOnce(message.text);
        }
        return;
    }
    const QPointer<EngineReading> reading = readings_.value(message.page);
    if (!reading) return;
    if (message.dropped) {
        if (message.type == MessageType::Text) {
            reading->finish(nullptr, EngineFailure::TooLarge);
        } else {
            killHelper(message.page, EngineFailure::NotShown);
        }
        return;
    }
    switch (message.type) {
        case MessageType::Request:
            reading->onRequest(message.request, message.method, message.url);
            return;
        case MessageType::Cancel:
            reading->onCancel(message.request);
            return;
        case MessageType::Text:
            reading->finish(&message.text, EngineFailure::NotShown);
            return;
        case MessageType::Failed:
            reading->finish(nullptr, message.failure);
            return;
        default:
            return;
    }
}

void EngineClient::killHelper(quint64 culprit, EngineFailure failure) {
    const QHash<quint64, QPointer<EngineReading>> readings = std::exchange(readings_, {});
    dropHelper();
    for (auto it = readings.begin(); it != readings.end(); ++it) {
        if (*it) (*it)->finish(nullptr, it.key() == culprit ? failure : EngineFailure::NotShown);
    }
}

void EngineClient::onHelperGone() { killHelper(0, EngineFailure::NotShown); }

void EngineClient::dropHelper() {
    EndWithoutWaiting(process_);
    process_.clear();
    reader_ = freshReader();
    greeted_ = false;
}

EngineReading::EngineReading(EngineClient* client, EngineDocument document, ResourceFetcher fetcher,
                             const EngineLimits& limits, QObject* parent)
    : QObject(parent),
      client_(client),
      document_(std::move(document)),
      fetcher_(std::move(fetcher)),
      limits_(limits),
      bytesLeft_(limits.fetch.maxTotalBytes),
      bytesGiven_(document_.body.size()) {
    document_.url.setUserInfo({});
    deadline_.setSingleShot(true);
    deadline_.setInterval(limits.timeoutMs + limits.helperGraceMs);
    // The helper keeps the page's own time; one that lets it pass without a word is hung.
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (client_) client_->killHelper(page_, EngineFailure::TimedOut);
    });
    memoryCheck_.setInterval(kMemoryCheckMs);
    connect(&memoryCheck_, &QTimer::timeout, this, [this] {
        if (client_ && ResidentBytes(client_->helperPid()) > limits_.memoryBytes) {
            client_->killHelper(page_, EngineFailure::TooLarge);
        }
    });
}

EngineReading::~EngineReading() {
    done_ = true;
    stop();
}

void EngineReading::start() {
    page_ = client_ ? client_->open(this, document_, limits_) : 0;
    if (page_ == 0) {
        // No helper to run: said like a page the engine could not show, later, never from
        // within this call.
        QMetaObject::invokeMethod(
            this, [this] { finish(nullptr, EngineFailure::NotShown); }, Qt::QueuedConnection);
        return;
    }
    deadline_.start();
    memoryCheck_.start();
}

void EngineReading::abandon() {
    done_ = true;
    stop();
}

// The helper holds to the page's own rules (GET requests for its own router, as many as the page
// may make) before it asks; one that asks for anything else is not taken at its word, it is
// ended at the first such request, before a flood of them could cost anything.
void EngineReading::onRequest(quint64 request, const QByteArray& method, const QUrl& url) {
    if (done_ || fetches_.contains(request)) return;
    if (method != "GET" || Origin(url) != Origin(document_.url) || !url.userInfo().isEmpty() ||
        ++requests_ > limits_.maxRequests) {
        if (client_) client_->killHelper(page_, EngineFailure::NotShown);
        return;
    }
    waiting_.append({request, url});
    startWaiting();
}

// A fetch starts with its share of the total reserved, and gives back what it did not use as it
// ends; while the total is all reserved, requests wait for that. What the fetcher refuses, and
// all once the total is spent, is answered as not found: the helper cannot know the total.
void EngineReading::startWaiting() {
    while (!done_ && !waiting_.isEmpty() && (bytesLeft_ > 0 || fetches_.isEmpty())) {
        const Waiting next = waiting_.takeFirst();
        const qint64 reserved = std::min(bytesLeft_, limits_.fetch.maxTotalBytes / kResourceShares);
        FetchLimits limits = limits_.fetch;
        limits.maxTotalBytes = reserved;
        PageFetch* fetch = reserved > 0 && fetcher_ ? fetcher_(next.url, limits, this) : nullptr;
        if (!fetch) {
            answer(next.request, nullptr);
            continue;
        }
        bytesLeft_ -= reserved;
        fetches_.insert(next.request, {fetch, reserved});
        connect(
            fetch, &PageFetch::finished, this,
            [this, request = next.request](const FetchedPage& page) { answer(request, &page); });
        connect(fetch, &PageFetch::failed, this,
                [this, request = next.request] { answer(request, nullptr); });
        fetch->start();
    }
}

void EngineReading::onCancel(quint64 request) {
    waiting_.removeIf([request](const Waiting& waiting) { return waiting.request == request; });
    if (const Fetch fetch = fetches_.take(request); fetch.fetch) {
        bytesLeft_ += fetch.reserved;
        fetch.fetch->disconnect(this);
        fetch.fetch->abort();
        fetch.fetch->deleteLater();
        startWaiting();
    }
}

void EngineReading::answer(quint64 request, const FetchedPage* page) {
    const qint64 given = page ? page->body.size() : 0;
    const bool fetched = fetches_.contains(request);
    if (fetched) {
        const Fetch fetch = fetches_.take(request);
        bytesLeft_ += fetch.reserved - given;
        if (fetch.fetch) fetch.fetch->deleteLater();
    }
    Message message = MessageOf(MessageType::Answer, page_, request);
    if (page) {
        bytesGiven_ += given;
        message.ok = true;
        message.contentType = page->contentType;
        message.body = page->body;
    }
    if (client_ && !done_) client_->send(message);
    if (fetched) startWaiting();
}

// A Text frame holds its page and the characters, two bytes each, behind their count.
qint64 EngineReading::maxTextFrameBytes() const {
    return 1 + 8 + 4 + 2 * (kTextCharsPerByte * bytesGiven_ + kTextSlackChars);
}

void EngineReading::finish(const QString* text, EngineFailure failure) {
    if (done_) return;
    done_ = true;
    stop();
    if (text) {
        emit finished(*text);
    } else {
        emit failed(failure);
    }
}

void EngineReading::stop() {
    deadline_.stop();
    memoryCheck_.stop();
    waiting_.clear();
    for (const Fetch& fetch : std::exchange(fetches_, {})) {
        if (!fetch.fetch) continue;
        fetch.fetch->disconnect(this);
        fetch.fetch->abort();
        fetch.fetch->deleteLater();
    }
    if (client_ && page_ != 0) client_->close(std::exchange(page_, 0));
}

}  // namespace quorvane
