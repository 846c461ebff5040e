#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

#include <utility>

namespace quorvane {

struct HttpLimits {
    qint64 maxHeaderBytes = 64 << 10;  // all header blocks together, interim ones included
    qint64 maxTotalBytes = 32 << 20;   // header and body as they travel
};

// Reads one HTTP/1.x response from bytes that arrive in pieces of any size. Interim 1xx answers
// are skipped, the body is framed by chunked transfer coding, Content-Length or the end of the
// connection, and every byte counts toward the limits, so a hostile peer can make it neither
// grow without bound nor hang on a single line.
class HttpResponseParser {
public:
    using Limits = HttpLimits;

    enum class State {
        Incomplete,      // more bytes are needed
        Complete,        // a final answer and its whole body
        Cut,             // the stream ended before the answer was complete
        NotHttp,         // the bytes do not start like "HTTP/1.x NNN"
        Malformed,       // an HTTP answer that breaks its framing rules; see error()
        HeaderTooLarge,  // more header bytes than maxHeaderBytes
        TooLarge,        // more bytes in all than maxTotalBytes
    };

    explicit HttpResponseParser(Limits limits = {}, bool answersHead = false);

    // Consumes bytes up to the end of the answer; bytes after it are ignored. Returns state().
    State feed(QByteArrayView bytes);
    // The stream has ended: an answer framed by the end of the connection is complete, any other
    // unfinished one is cut.
    State finish();

    State state() const { return state_; }
    bool headerComplete() const { return finalHeader_; }
    qint64 bytesConsumed() const { return consumed_; }

    // Of the final answer; valid once headerComplete().
    int status() const { return status_; }
    const QByteArray& reasonPhrase() const { return reason_; }
    const QList<QPair<QByteArray, QByteArray>>& headers() const { return headers_; }
    // Every value of the named field, in order; names compare without regard to letter case.
    QList<QByteArray> headerValues(QByteArrayView name) const;
    // The values joined by ", ", as a repeated field means; empty when the field is absent.
    QByteArray header(QByteArrayView name) const;
    bool hasHeader(QByteArrayView name) const;

    const QByteArray& body() const { return body_; }
    QByteArray takeBody() { return std::exchange(body_, {}); }

    // What broke the rules, in a few words, when state() is Malformed.
    const char* error() const { return error_; }

private:
    enum class Phase {
        StatusLine,
        Headers,
        Body,          // Content-Length bytes remain
        UntilClose,    // everything up to the end of the stream
        ChunkSize,     // a chunk-size line
        ChunkData,     // chunk bytes remain
        ChunkDataEnd,  // the line end after a chunk
        Trailers,      // trailer fields after the last chunk
        Done,
    };

    void lineDone();
    void statusLine(QByteArrayView line);
    void headerLine(QByteArrayView line);
    void headerEnd();
    void chunkSizeLine(QByteArrayView line);
    void fail(State state, const char* error = nullptr);
    void complete();

    Limits limits_;
    bool answersHead_;
    State state_ = State::Incomplete;
    bool finalHeader_ = false;
    Phase phase_ = Phase::StatusLine;
    const char* error_ = "";

    QByteArray line_;         // the unfinished line of a line-oriented phase
    qint64 consumed_ = 0;     // bytes of this answer taken so far
    qint64 headerBytes_ = 0;  // of all header blocks and trailers
    qint64 remaining_ = 0;    // of the body or the current chunk

    int status_ = 0;
    QByteArray reason_;
    QList<QPair<QByteArray, QByteArray>> headers_;
    QByteArray body_;
};

}  // namespace quorvane
