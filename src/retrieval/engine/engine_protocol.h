#pragma once

#include "helper_environment.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace quorvane {

// The router page the engine renders: fetched by the program, with the address it came from
// (http, without user information).
struct EngineDocument {
    QUrl url;
    QByteArray contentType;
    QByteArray body;
};

// What the program allows one page in the engine: sent with the page, kept by the helper and
// checked again by the program.
struct RenderLimits {
    int timeoutMs = 30'000;                   // a page that has not loaded by then never will
    qint64 memoryBytes = kHelperMemoryBytes;  // of the page's renderer, and of the helper itself
    int maxRequests = 100;                    // of the page's own requests for its router
};

}  // namespace quorvane

// The words the program and its engine helper (quorvane-engine) say to each other over the
// helper's standard input and output. The program is the trusted side: it fetches, holds the
// credentials and enforces the limits; the helper renders what it is given and asks the program
// for each resource its page wants.
namespace quorvane::engine_protocol {

enum class MessageType : quint8 {
    // program -> helper
    Open = 1,    // page, url, contentType, body, limits: render this
    Answer = 2,  // page, request, ok, contentType, body: what the router gave for a request
    Close = 3,   // page: stop it at once; nothing more is said of it
    // helper -> program
    Hello = 10,    // text: up, and what it has to say of itself (its network not shut away, say)
    Request = 11,  // page, request, method, url: the page wants this resource of its router
    Cancel = 12,   // page, request: the page no longer wants it
    Text = 13,     // page, text: the page's body text, lines ended by CR LF
    Failed = 14,   // page, failure: no text for this page
};

// Why the engine gave no text for a page.
enum class Failure : quint8 {
    NotShown = 0,  // the page did not load, its renderer went away, or the helper did
    TimedOut = 1,  // still loading, or its scripts still running, when the time ran out
    TooLarge = 2,  // it grew past the memory allowed to one page
};

// One message; which fields count depends on its type (see MessageType).
struct Message {
    MessageType type = MessageType::Close;
    quint64 page = 0;
    quint64 request = 0;
    QUrl url;  // never with user information
    QByteArray method;
    QByteArray contentType;
    QByteArray body;
    QString text;
    RenderLimits limits;
    bool ok = false;
    Failure failure = Failure::NotShown;
    // Set by FrameReader alone, on a frame past its limit: of it, only the type and page are known.
    bool dropped = false;
};

inline Message MessageOf(MessageType type, quint64 page = 0, quint64 request = 0) {
    Message message;
    message.type = type;
    message.page = page;
    message.request = request;
    return message;
}

// A frame: the body's length as a 32-bit big-endian number, then the body.
QByteArray Encode(const Message& message);

// The longest frame a reader holds of the given type for the given page (0 for a Hello, which
// names none), decided as the frame begins to come.
using FrameLimit = std::function<qint64(MessageType type, quint64 page)>;

// Takes the bytes of a stream as they come and gives its messages. A frame longer than the
// reader allows, or one that does not decode, breaks the stream for good: the other side is
// not speaking this protocol, and nothing it says after is believed. Within that, a frame past
// what `limit` gives it is never held: it comes as a message with `dropped` set, its type and
// page alone read, and its bytes are skipped as they arrive.
class FrameReader {
public:
    explicit FrameReader(qint64 maxFrameBytes, FrameLimit limit = {})
        : maxFrameBytes_(maxFrameBytes), limit_(std::move(limit)) {}

    void append(const QByteArray& bytes);
    // The next whole message, or nothing until more bytes come (or for good once broken).
    std::optional<Message> next();
    bool broken() const { return broken_; }

private:
    void skip();

    qint64 maxFrameBytes_;
    FrameLimit limit_;
    QByteArray buffer_;
    qsizetype consumed_ = 0;
    qint64 skipping_ = 0;  // bytes of a dropped frame still to come
    bool broken_ = false;
};

// The largest frames each side accepts: the program's page of at most 32 MiB goes one way, and
// its text, two bytes a character, the other.
inline constexpr qint64 kMaxFrameToHelper = qint64(64) << 20;
inline constexpr qint64 kMaxFrameToProgram = qint64(160) << 20;

}  // namespace quorvane::engine_protocol
