#include "page_failure.h"

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

PageFailure PageFailure::make(Kind kind, const QString& address, Details details, int httpStatus) {
    // Kept a character longer than any sentence quotes them, so that the sentence marks the cut.
    if (const QString* text = std::get_if<QString>(&details))
        details = ShortDetail(*text, kMaxQuote + 1);
    return {kind, httpStatus, ShortDetail(address, kMaxQuote + 1), std::move(details)};
}

QString PageFailure::quote() const {
    const QString* text = std::get_if<QString>(&details);
    return text ? *text : QString();
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
