#include "http_response_parser.h"

#include <algorithm>
#include <limits>

namespace quorvane {

namespace {

constexpr QByteArrayView kVersionPrefix = "HTTP/1.";
constexpr qsizetype kStatusStart = 13;  // "HTTP/1.1 200 " up to the blank after the code

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where the bytes so far stop being able to begin "HTTP/1.x NNN" followed by a blank or the line
// end: the index of the first byte that does not fit, or -1.
qsizetype StatusLineMismatch(QByteArrayView start) {
    for (qsizetype i = 0; i < std::min(start.size(), kStatusStart); ++i) {
        const char c = start[i];
        bool fits = false;
        if (i < kVersionPrefix.size()) {
            fits = c == kVersionPrefix[i];
        } else if (i == 8) {
            fits = c == ' ';
        } else if (i == 12) {
            fits = c == ' ' || c == '\r' || c == '\n';
        } else if (i == 9) {
            fits = c >= '1' && c <= '9';  // no status code starts with 0
        } else {
            fits = IsDigit(c);
        }
        if (!fits) return i;
    }
    return -1;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView Trimmed(QByteArrayView text) {
    while (!text.isEmpty() && IsBlank(text.front())) text = text.sliced(1);
    while (!text.isEmpty() && IsBlank(text.back())) text.chop(1);
    return text;
}

// A field name is a token: no blanks, no control characters, no separators that would make the
// line mean something else to another reader.
bool IsFieldName(QByteArrayView name) {
    if (name.isEmpty()) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u >= 0x7F || QByteArrayView("\"(),/:;<=>?@[\\]{}").contains(c);
    });
}

QList<QByteArrayView> ListElements(QByteArrayView value) {
    QList<QByteArrayView> elements;
    for (QByteArrayView rest = value;;) {
        const qsizetype comma = rest.indexOf(',');
        const QByteArrayView element = Trimmed(comma < 0 ? rest : rest.first(comma));
        if (!element.isEmpty()) elements.append(element);
        if (comma < 0) break;
        rest = rest.sliced(comma + 1);
    }
    return elements;
}

}  // namespace

HttpResponseParser::HttpResponseParser(Limits limits, bool answersHead)
    : limits_(limits), answersHead_(answersHead) {}

HttpResponseParser::State HttpResponseParser::feed(QByteArrayView bytes) {
    qsizetype at = 0;
    while (state_ == State::Incomplete && at < bytes.size()) {
        const QByteArrayView rest = bytes.sliced(at);
        qsizetype take = 0;
        switch (phase_) {
            case Phase::StatusLine:
            case Phase::Headers:
            case Phase::Trailers:
            case Phase::ChunkSize:
            case Phase::ChunkDataEnd: {
                const qsizetype end = rest.indexOf('\n');
                take = end < 0 ? rest.size() : end + 1;
                const bool header = phase_ == Phase::StatusLine || phase_ == Phase::Headers ||
                                    phase_ == Phase::Trailers;
                // How many more bytes each limit allows; the first rule broken decides, however
                // the bytes are split, and at the same byte the header limit is named.
                const qint64 headerRoom = header ? limits_.maxHeaderBytes - headerBytes_
                                                 : std::numeric_limits<qint64>::max();
                const qint64 totalRoom = limits_.maxTotalBytes - consumed_;
                const qint64 room = std::min(headerRoom, totalRoom);
                // A non-HTTP answer is told from its first bytes, unless a limit broke before
                // the byte that shows it.
                if (phase_ == Phase::StatusLine && line_.size() < kStatusStart) {
                    const qsizetype more = std::min(take, kStatusStart - line_.size());
                    const qsizetype bad =
                        StatusLineMismatch(line_ + rest.first(more).toByteArray());
                    if (bad >= 0 && bad - line_.size() + 1 <= room) {
                        fail(State::NotHttp);
                        break;
                    }
                }
                if (take > room) {
                    fail(headerRoom <= totalRoom ? State::HeaderTooLarge : State::TooLarge);
                    break;
                }
                if (header) headerBytes_ += take;
                consumed_ += take;
                line_.append(rest.first(take));
                if (end >= 0) lineDone();
                break;
            }
            case Phase::Body:
            case Phase::ChunkData:
            case Phase::UntilClose:
                take = phase_ == Phase::UntilClose
                           ? rest.size()
                           : qsizetype(std::min<qint64>(remaining_, rest.size()));
                if (consumed_ + take > limits_.maxTotalBytes) {
                    fail(State::TooLarge);
                    break;
                }
                consumed_ += take;
                body_.append(rest.first(take));
                remaining_ -= take;
                if (phase_ == Phase::Body && remaining_ == 0) complete();
                if (phase_ == Phase::ChunkData && remaining_ == 0) phase_ = Phase::ChunkDataEnd;
                break;
            case Phase::Done:
                break;
        }
        at += take;
    }
    return state_;
}

HttpResponseParser::State HttpResponseParser::finish() {
    if (state_ != State::Incomplete) return state_;
    if (phase_ == Phase::UntilClose) {
        complete();
    } else {
        fail(State::Cut);
    }
    return state_;
}

void HttpResponseParser::lineDone() {
    QByteArrayView line = line_;
    line.chop(1);  // the line feed
    if (line.endsWith('\r')) line.chop(1);
    switch (phase_) {
        case Phase::StatusLine:
            statusLine(line);
            break;
        case Phase::Headers:
            headerLine(line);
            break;
        case Phase::Trailers:
            // Trailer fields are not merged into the header: nothing here may change the answer.
            if (line.isEmpty()) complete();
            break;
        case Phase::ChunkSize:
            chunkSizeLine(line);
            break;
        case Phase::ChunkDataEnd:
            if (line.isEmpty()) {
                phase_ = Phase::ChunkSize;
            } else {
                fail(State::Malformed, "a chunk longer than its size");
            }
            break;
        default:
            break;
    }
    line_.clear();
}

void HttpResponseParser::statusLine(QByteArrayView line) {
    // StatusLineMismatch has checked the start, up to the line end of a line this short.
    if (line.size() < 12) {
        fail(State::NotHttp);
        return;
    }
    status_ = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    reason_ = line.size() > 13 ? line.sliced(13).toByteArray() : QByteArray();
    phase_ = Phase::Headers;
}

void HttpResponseParser::headerLine(QByteArrayView line) {
    if (line.isEmpty()) {
        headerEnd();
        return;
    }
    if (IsBlank(line.front())) {
        // An obsolete folded continuation: it belongs to the previous field's value.
        if (headers_.isEmpty()) {
            fail(State::Malformed, "a header that starts with a continuation line");
            return;
        }
        QByteArray& value = headers_.last().second;
        const QByteArrayView more = Trimmed(line);
        if (!value.isEmpty() && !more.isEmpty()) value += ' ';
        value += more;
        return;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon < 0 || !IsFieldName(line.first(colon))) {
        fail(State::Malformed, "a header line that is not a field");
        return;
    }
    headers_.append(
        {line.first(colon).toByteArray(), Trimmed(line.sliced(colon + 1)).toByteArray()});
}

void HttpResponseParser::headerEnd() {
    if (status_ >= 100 && status_ < 200 && status_ != 101) {
        // An interim answer; the final one follows on the same connection.
        status_ = 0;
        reason_.clear();
        headers_.clear();
        phase_ = Phase::StatusLine;
        return;
    }
    finalHeader_ = true;
    // 101 switches to another protocol: nothing after its header is HTTP any more.
    if (answersHead_ || status_ == 101 || status_ == 204 || status_ == 304) {
        complete();
        return;
    }
    if (hasHeader("Transfer-Encoding")) {
        // Transfer-Encoding overrides any Content-Length; unless chunked comes last, the end of
        // the connection ends the body.
        const QByteArray value = header("Transfer-Encoding");  // the views below point into it
        const QList<QByteArrayView> codings = ListElements(value);
        const QByteArrayView last = codings.isEmpty() ? QByteArrayView() : codings.last();
        const qsizetype parameters = last.indexOf(';');
        const bool chunked = Trimmed(parameters < 0 ? last : last.first(parameters))
                                 .compare("chunked", Qt::CaseInsensitive) == 0;
        phase_ = chunked ? Phase::ChunkSize : Phase::UntilClose;
        return;
    }
    const QList<QByteArray> lengths = headerValues("Content-Length");
    if (lengths.isEmpty()) {
        phase_ = Phase::UntilClose;
        return;
    }
    qint64 length = -1;
    for (const QByteArray& value : lengths) {
        const QList<QByteArrayView> elements = ListElements(value);
        if (elements.isEmpty()) {
            fail(State::Malformed, "an invalid Content-Length");
            return;
        }
        for (QByteArrayView element : elements) {
            if (element.size() > 18 || !std::all_of(element.begin(), element.end(), IsDigit)) {
                fail(State::Malformed, "an invalid Content-Length");
                return;
            }
            const qint64 value = element.toLongLong();
            if (length >= 0 && value != length) {
                fail(State::Malformed, "two different Content-Length values");
                return;
            }
            length = value;
        }
    }
    if (consumed_ + length > limits_.maxTotalBytes) {
        fail(State::TooLarge);
        return;
    }
    if (length == 0) {
        complete();
        return;
    }
    remaining_ = length;
    phase_ = Phase::Body;
}

void HttpResponseParser::chunkSizeLine(QByteArrayView line) {
    qint64 size = 0;
    qsizetype digits = 0;
    for (; digits < line.size() && HexValue(line[digits]) >= 0; ++digits) {
        size = size * 16 + HexValue(line[digits]);
        if (size > limits_.maxTotalBytes) {
            fail(State::TooLarge);
            return;
        }
    }
    const QByteArrayView extension = line.sliced(digits);
    if (digits == 0 ||
        (!extension.isEmpty() && !IsBlank(extension.front()) && extension.front() != ';')) {
        fail(State::Malformed, "an invalid chunk size");
        return;
    }
    if (size == 0) {
        phase_ = Phase::Trailers;
        return;
    }
    if (consumed_ + size > limits_.maxTotalBytes) {
        fail(State::TooLarge);
        return;
    }
    remaining_ = size;
    phase_ = Phase::ChunkData;
}

void HttpResponseParser::fail(State state, const char* error) {
    state_ = state;
    if (error) error_ = error;
    phase_ = Phase::Done;
    line_.clear();
}

void HttpResponseParser::complete() {
    state_ = State::Complete;
    phase_ = Phase::Done;
}

QList<QByteArray> HttpResponseParser::headerValues(QByteArrayView name) const {
    QList<QByteArray> values;
    for (const auto& [field, value] : headers_) {
        if (QByteArrayView(field).compare(name, Qt::CaseInsensitive) == 0) values.append(value);
    }
    return values;
}

QByteArray HttpResponseParser::header(QByteArrayView name) const {
    return headerValues(name).join(", ");
}

bool HttpResponseParser::hasHeader(QByteArrayView name) const {
    return std::any_of(headers_.begin(), headers_.end(), [name](const auto& field) {
        return QByteArrayView(field.first).compare(name, Qt::CaseInsensitive) == 0;
    });
}

}  // namespace quorvane
