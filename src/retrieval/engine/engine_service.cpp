#include "engine_service.h"

#include "engine_render.h"
#include "write_all.h"

#include <QCoreApplication>

#include <unistd.h>

#include <cerrno>

namespace quorvane {

using engine_protocol::Message;
using engine_protocol::MessageOf;
using engine_protocol::MessageType;

namespace {

constexpr qsizetype kReadPiece = 1 << 16;

}  // namespace

EngineService::EngineService(int inFd, int outFd, EngineHost* host, QObject* parent)
    : QObject(parent),
      inFd_(inFd),
      outFd_(outFd),
      host_(host),
      notifier_(inFd, QSocketNotifier::Read) {
    connect(&notifier_, &QSocketNotifier::activated, this, &EngineService::onReadable);
}

EngineService::~EngineService() {
    for (const QPointer<EngineRender>& render : std::exchange(renders_, {})) delete render.data();
}

// The program reads its end at all times, so a blocking write never waits long; and the helper
// has nothing else to do meanwhile that could not wait.
void EngineService::send(const Message& message) {
    if (!WriteAll(outFd_, engine_protocol::Encode(message))) QCoreApplication::exit(1);
}

void EngineService::onReadable() {
    QByteArray piece(kReadPiece, Qt::Uninitialized);
    const ssize_t got = ::read(inFd_, piece.data(), size_t(piece.size()));
    if (got < 0 && errno == EINTR) return;
    if (got <= 0) {
        // The program is gone or done with us, and nothing here is worth an orderly shutdown of
        // the engine, which can take longer than the program would wait.
        ::_exit(0);
    }
    piece.truncate(got);
    reader_.append(piece);
    while (const std::optional<Message> message = reader_.next()) handle(*message);
    if (reader_.broken()) QCoreApplication::exit(2);
}

void EngineService::handle(const Message& message) {
    switch (message.type) {
        case MessageType::Open:
            open(message);
            return;
        case MessageType::Answer:
            if (EngineRender* render = renders_.value(message.page)) {
                render->answer(message.request, message.ok, message.contentType, message.body);
            }
            return;
        case MessageType::Close:
            close(message.page);
            return;
        default:
            return;  // not for the helper to hear
    }
}

void EngineService::open(const Message& message) {
    const quint64 page = message.page;
    close(page);
    auto* render = new EngineRender(host_, {message.url, message.contentType, message.body},
                                    message.limits, this);
    renders_.insert(page, render);
    connect(render, &EngineRender::finished, this, [this, page](const QString& text) {
        Message done = MessageOf(MessageType::Text, page);
        done.text = text;
        send(done);
        close(page);
    });
    connect(render, &EngineRender::failed, this, [this, page](engine_protocol::Failure failure) {
        Message done = MessageOf(MessageType::Failed, page);
        done.failure = failure;
        send(done);
        close(page);
    });
    connect(render, &EngineRender::resourceRequested, this,
            [this, page](quint64 request, const QByteArray& method, const QUrl& url) {
                Message ask = MessageOf(MessageType::Request, page, request);
                ask.method = method;
                ask.url = url;
                send(ask);
            });
    connect(render, &EngineRender::resourceCancelled, this,
            [this, page](quint64 request) { send(MessageOf(MessageType::Cancel, page, request)); });
    render->start();
}

// A render may be the one emitting, so it goes once the event loop is back.
void EngineService::close(quint64 page) {
    if (const QPointer<EngineRender> render = renders_.take(page)) {
        render->disconnect(this);
        render->deleteLater();
    }
}

}  // namespace quorvane
