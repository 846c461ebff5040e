#include "marked_lines.h"

#include "log_text.h"

#include <QCoreApplication>
#include <QList>
#include <QStringMatcher>

namespace quorvane {

namespace {

struct Piece {
    qsizetype start;
    qsizetype length;
};

// The analyses' one word for an empty list, of firewall lines or of this year's lines alike.
QString NoAttacksFoundText() {
    return QCoreApplication::translate("quorvane::Findings", "No attacks found.");
}

}  // namespace

// The CR is found with the vectorised single-character search: QString::indexOf with the
// two-character CR LF runs a rolling hash over every character, which made this search half the
// cost of listing the firewall lines of a long log.
qsizetype LineEndFrom(const QString& text, qsizetype from) {
    const QStringView view(text);
    for (qsizetype cr = view.indexOf(u'\r', from); cr >= 0; cr = view.indexOf(u'\r', cr + 1)) {
        if (cr + 1 < view.size() && view[cr + 1] == u'\n') return cr;
    }
    return text.size();
}

QString PutMarkedLinesInFront(const QString& text, const QString& marker, qsizetype lead,
                              const QString& boxText) {
    if (marker.isEmpty()) {
        return NoAttacksFoundText();
    }
    // Collect first and join once: putting each line in front of the text built so far would
    // copy it again for every line, which a long log turns into seconds of work.
    QList<Piece> pieces;
    qsizetype total = boxText.size();
    // One matcher for the whole scan: QString::indexOf builds its skip table afresh on every call,
    // once per line of a long log.
    const QStringMatcher matcher(marker, Qt::CaseInsensitive);
    qsizetype found = matcher.indexIn(text, 0);
    while (found >= 0) {
        const qsizetype end = LineEndFrom(text, found + marker.size());
        const qsizetype start = qMax(qsizetype{0}, found - lead);
        pieces.append({start, end - start});
        total += end - start + kLineEnd.size();
        found = matcher.indexIn(text, end);
    }
    if (pieces.isEmpty()) {
        return NoAttacksFoundText();
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
