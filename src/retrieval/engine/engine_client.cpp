#include "engine_client.h"

#include "process_end.h"
#include "process_memory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>

#include <cstdio>

namespace quorvane {

using engine_protocol::Message;
using engine_protocol::MessageOf;
using engine_protocol::MessageType;

namespace {

const QString kProgramName = QStringLiteral("quorvane-engine");

QStringList& ExplicitCommand() {
    static QStringList command;
    return command;
}

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

bool SameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(80) == b.port(80);
}

}  // namespace

EngineClient::EngineClient(QObject* parent) : QObject(parent) {}

EngineClient::~EngineClient() {
    for (const QPointer<EngineReading>& reading : std::exchange(readings_, {})) {
        if (reading) reading->client_.clear();
    }
    dropHelper();
}

QString EngineClient::programPath() {
    if (!ExplicitCommand().isEmpty()) return ExplicitCommand().first();
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {bin.filePath(kProgramName), bin.filePath("../libexec/quorvane/" + kProgramName)}) {
        if (QFileInfo(candidate).isExecutable()) return QDir::cleanPath(candidate);
    }
    return {};
}

void EngineClient::setCommand(const QStringList& command) { ExplicitCommand() = command; }

qint64 EngineClient::helperPid() const {
    return process_ && process_->state() == QProcess::Running ? process_->processId() : 0;
}

bool EngineClient::ensureHelper() {
    if (process_) return true;
    const QString program = programPath();
    if (program.isEmpty()) return false;
    auto* process = new QProcess(this);
    process_ = process;
    reader_ = engine_protocol::FrameReader(engine_protocol::kMaxFrameToProgram);
    // The helper's diagnostics (Chromium's, a sanitizer's) belong with the program's own.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, &EngineClient::onReadyRead);
    connect(process, &QProcess::finished, this, &EngineClient::onHelperGone);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) onHelperGone();
    });
    const QStringList command = ExplicitCommand();
    process->start(program, command.mid(1), QIODevice::ReadWrite);
    return process_ != nullptr;
}

quint64 EngineClient::open(EngineReading* reading, const EngineDocument& document,
                           const EngineLimits& limits) {
    if (!ensureHelper()) return 0;
    const quint64 page = ++lastPage_;
    readings_.insert(page, reading);
    Message message = MessageOf(MessageType::Open, page);
    message.url = document.url;
    message.contentType = document.contentType;
    message.body = document.body;
    message.timeoutMs = limits.timeoutMs;
    message.memoryBytes = limits.memoryBytes;
    message.maxRequests = limits.maxResourceRequests;
    send(message);
    return page;
}

void EngineClient::send(const Message& message) {
    if (process_) process_->write(engine_protocol::Encode(message));
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

void EngineClient::dispatch(const Message& message) {
    if (message.type == MessageType::Hello) {
        SayOnce(message.text);
        return;
    }
    const QPointer<EngineReading> reading = readings_.value(message.page);
    if (!reading) return;
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
}

EngineReading::EngineReading(EngineClient* client, EngineDocument document, ResourceFetcher fetcher,
                             const EngineLimits& limits, QObject* parent)
    : QObject(parent),
      client_(client),
      document_(std::move(document)),
      fetcher_(std::move(fetcher)),
      limits_(limits),
      bytesLeft_(limits.fetch.maxTotalBytes) {
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

// Only GET requests for the page's own router are fetched, and no more of them, nor more bytes,
// than the page may have: the helper already holds to these, and we do not take its word for it.
void EngineReading::onRequest(quint64 request, const QByteArray& method, const QUrl& url) {
    if (done_ || fetches_.contains(request)) return;
    if (method != "GET" || !SameOrigin(url, document_.url) || !url.userInfo().isEmpty() ||
        ++requests_ > limits_.maxResourceRequests || bytesLeft_ <= 0 || !fetcher_) {
        answer(request, nullptr, nullptr);
        return;
    }
    FetchLimits limits = limits_.fetch;
    limits.maxTotalBytes = bytesLeft_;
    PageFetch* fetch = fetcher_(url, limits, this);
    if (!fetch) {
        answer(request, nullptr, nullptr);
        return;
    }
    fetches_.insert(request, fetch);
    connect(fetch, &PageFetch::finished, this,
            [this, request, fetch](const FetchedPage& page) { answer(request, fetch, &page); });
    connect(fetch, &PageFetch::failed, this,
            [this, request, fetch] { answer(request, fetch, nullptr); });
    fetch->start();
}

void EngineReading::onCancel(quint64 request) {
    if (PageFetch* fetch = fetches_.take(request)) {
        fetch->disconnect(this);
        fetch->abort();
        fetch->deleteLater();
    }
}

void EngineReading::answer(quint64 request, PageFetch* fetch, const FetchedPage* page) {
    if (fetch) {
        fetches_.remove(request);
        fetch->deleteLater();
    }
    Message message = MessageOf(MessageType::Answer, page_, request);
    if (page) {
        bytesLeft_ -= page->body.size();
        message.ok = true;
        message.contentType = page->contentType;
        message.body = page->body;
    }
    if (client_ && !done_) client_->send(message);
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
    for (const QPointer<PageFetch>& fetch : std::exchange(fetches_, {})) {
        if (!fetch) continue;
        fetch->disconnect(this);
        fetch->abort();
        fetch->deleteLater();
    }
    if (client_ && page_ != 0) client_->close(std::exchange(page_, 0));
}

}  // namespace quorvane
