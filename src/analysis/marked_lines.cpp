#include "marked_lines.h"

#include <QList>

namespace quorvane {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

struct Piece {
    qsizetype start;
    qsizetype length;
};

}  // namespace

qsizetype LineEndFrom(const QString& text, qsizetype from) {
    const qsizetype end = text.indexOf(kLineEnd, from, Qt::CaseSensitive);
    return end < 0 ? text.size() : end;
}

QString PutMarkedLinesInFront(const QString& text, const QString& marker, qsizetype lead,
                              const QString& boxText, const QString& noneText) {
    if (marker.isEmpty()) {
        return noneText;
    }
    // Collect first and join once: putting each line in front of the text built so far would
    // copy it again for every line, which a long log turns into seconds of work.
    QList<Piece> pieces;
    qsizetype total = boxText.size();
    qsizetype found = text.indexOf(marker, 0, Qt::CaseInsensitive);
    while (found >= 0) {
        const qsizetype end = LineEndFrom(text, found + marker.size());
        const qsizetype start = qMax(qsizetype{0}, found - lead);
        pieces.append({start, end - start});
        total += end - start + kLineEnd.size();
        found = text.indexOf(marker, end, Qt::CaseInsensitive);
    }
    if (pieces.isEmpty()) {
        return noneText;
    }
    QString result;
    result.reserve(total);
    for (auto it = pieces.crbegin(); it != pieces.crend(); ++it) {
        result.append(QStringView(text).mid(it->start, it->length)).append(kLineEnd);
    }
    result.append(boxText);
    return result;
}

}  // namespace quorvane
