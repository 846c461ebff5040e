#include "fetch_failure.h"

namespace quorvane {

namespace {

constexpr QChar kEllipsis(0x2026);

// Ends `text` with an ellipsis within maxLength characters, never splitting a surrogate pair.
void MarkCut(QString& text, qsizetype maxLength) {
    if (text.size() >= maxLength) text.truncate(std::max<qsizetype>(0, maxLength - 1));
    if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
    text += kEllipsis;
}

bool IsDropped(QChar c) {
    switch (c.category()) {
        case QChar::Other_Control:  // C0, DEL and C1
        case QChar::Other_Format:   // bidirectional overrides and other invisible marks
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return false;
    }
}

}  // namespace

FetchFailure FetchFailure::make(Kind kind, const QString& address, const QString& details,
                                int httpStatus) {
    // Kept a little longer than any sentence quotes them, so that the sentence marks the cut.
    return {kind, httpStatus, ShortDetail(details, kMaxDetails + 1),
            ShortDetail(address, kMaxAddress + 1)};
}

QString SizeText(qint64 bytes) {
    if (bytes > 0 && bytes % (1 << 20) == 0) return QStringLiteral("%1 MiB").arg(bytes >> 20);
    if (bytes > 0 && bytes % (1 << 10) == 0) return QStringLiteral("%1 KiB").arg(bytes >> 10);
    return QStringLiteral("%1 bytes").arg(bytes);
}

QString DurationText(qint64 milliseconds) {
    if (milliseconds == 1000) return QStringLiteral("1 second");
    if (milliseconds % 1000 == 0) return QStringLiteral("%1 seconds").arg(milliseconds / 1000);
    return QStringLiteral("%1 seconds").arg(double(milliseconds) / 1000.0);
}

QString ShortDetail(const QString& text, qsizetype maxLength) {
    QString out;
    out.reserve(std::min(text.size(), maxLength));
    for (const QChar c : text) {
        if (IsDropped(c)) continue;
        if (out.size() == maxLength) {
            MarkCut(out, maxLength);
            break;
        }
        out += c;
    }
    return out;
}

QString ShortDetailFromBytes(QByteArrayView bytes, qsizetype maxLength) {
    // Four bytes make at most one character; decoding more than can be shown is wasted work.
    const qsizetype decoded = std::min(bytes.size(), (maxLength + 1) * 4);
    QString text = ShortDetail(QString::fromUtf8(bytes.first(decoded)), maxLength);
    if (decoded < bytes.size() && !text.endsWith(kEllipsis)) MarkCut(text, maxLength);
    return text;
}

}  // namespace quorvane
