#include "engine_protocol.h"

#include <QDataStream>
#include <QIODevice>

namespace quorvane::engine_protocol {

namespace {

constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;
constexpr qsizetype kLengthBytes = 4;

void WriteFields(QDataStream& out, const Message& m) {
    out << quint8(m.type);
    switch (m.type) {
        case MessageType::Open:
            out << m.page << m.url << m.contentType << m.body << m.limits.timeoutMs
                << m.limits.memoryBytes << m.limits.maxRequests;
            return;
        case MessageType::Answer:
            out << m.page << m.request << m.ok << m.contentType << m.body;
            return;
        case MessageType::Close:
            out << m.page;
            return;
        case MessageType::Hello:
            out << m.text;
            return;
        case MessageType::Request:
            out << m.page << m.request << m.method << m.url;
            return;
        case MessageType::Cancel:
            out << m.page << m.request;
            return;
        case MessageType::Text:
            out << m.page << m.text;
            return;
        case MessageType::Failed:
            out << m.page << quint8(m.failure);
            return;
    }
}

std::optional<Message> ReadFields(QDataStream& in) {
    Message m;
    quint8 type = 0;
    in >> type;
    m.type = MessageType(type);
    quint8 failure = 0;
    switch (m.type) {
        case MessageType::Open:
            in >> m.page >> m.url >> m.contentType >> m.body >> m.limits.timeoutMs >>
                m.limits.memoryBytes >> m.limits.maxRequests;
            break;
        case MessageType::Answer:
            in >> m.page >> m.request >> m.ok >> m.contentType >> m.body;
            break;
        case MessageType::Close:
            in >> m.page;
            break;
        case MessageType::Hello:
            in >> m.text;
            break;
        case MessageType::Request:
            in >> m.page >> m.request >> m.method >> m.url;
            break;
        case MessageType::Cancel:
            in >> m.page >> m.request;
            break;
        case MessageType::Text:
            in >> m.page >> m.text;
            break;
        case MessageType::Failed:
            in >> m.page >> failure;
            if (failure > quint8(Failure::TooLarge)) return std::nullopt;
            m.failure = Failure(failure);
            break;
        default:
            return std::nullopt;
    }
    // Every byte of the frame belongs to its fields.
    if (in.status() != QDataStream::Ok || !in.atEnd()) return std::nullopt;
    return m;
}

}  // namespace

QByteArray Encode(const Message& message) {
    QByteArray frame(kLengthBytes, '\0');
    {
        QDataStream out(&frame, QIODevice::WriteOnly | QIODevice::Append);
        out.setVersion(kStreamVersion);
        WriteFields(out, message);
    }
    const auto length = quint32(frame.size() - kLengthBytes);
    for (int i = 0; i < kLengthBytes; ++i) frame[i] = char(length >> (8 * (kLengthBytes - 1 - i)));
    return frame;
}

void FrameReader::append(const QByteArray& bytes) {
    if (broken_) return;
    // What was read is dropped only now and then, so a stream of small frames costs no copying
    // of the rest each time.
    if (consumed_ > 0 && consumed_ >= buffer_.size() / 2) {
        buffer_.remove(0, consumed_);
        consumed_ = 0;
    }
    buffer_.append(bytes);
    skip();
}

void FrameReader::skip() {
    const qint64 skipped = std::min<qint64>(skipping_, buffer_.size() - consumed_);
    consumed_ += skipped;
    skipping_ -= skipped;
}

std::optional<Message> FrameReader::next() {
    if (broken_ || skipping_ > 0 || buffer_.size() - consumed_ < kLengthBytes) return std::nullopt;
    const auto* head = reinterpret_cast<const uchar*>(buffer_.constData() + consumed_);
    qint64 length = 0;
    for (int i = 0; i < kLengthBytes; ++i) length = (length << 8) | head[i];
    if (length > maxFrameBytes_) {
        broken_ = true;
        return std::nullopt;
    }
    const qsizetype available = buffer_.size() - consumed_ - kLengthBytes;
    if (limit_) {
        // Every frame's body starts with its type and, but for a Hello, its page.
        constexpr qsizetype kHeadBytes = 1 + 8;
        if (available < std::min<qint64>(length, kHeadBytes)) return std::nullopt;
        Message dropped = MessageOf(length > 0 ? MessageType(head[kLengthBytes]) : MessageType{});
        if (dropped.type != MessageType::Hello && length >= kHeadBytes) {
            for (int i = 1; i < kHeadBytes; ++i)
                dropped.page = (dropped.page << 8) | head[kLengthBytes + i];
        }
        if (length > limit_(dropped.type, dropped.page)) {
            skipping_ = kLengthBytes + length;
            skip();
            dropped.dropped = true;
            return dropped;
        }
    }
    if (available < length) return std::nullopt;
    const QByteArray body = buffer_.mid(consumed_ + kLengthBytes, length);
    consumed_ += kLengthBytes + length;
    QDataStream in(body);
    in.setVersion(kStreamVersion);
    std::optional<Message> message = ReadFields(in);
    if (!message) {
        broken_ = true;
        buffer_.clear();
        consumed_ = 0;
    }
    return message;
}

}  // namespace quorvane::engine_protocol
