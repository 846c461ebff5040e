#pragma once

// What the analysis targets share: a fixed clock, so that every run is reproducible, and a
// second way of computing the collected log lines.

#include "log_timestamps.h"

#include <QString>
#include <QStringList>
#include <QTimeZone>

namespace quorvane::fuzz {

// The moment every run is measured against; the analyses read only its date and time.
inline AnalysisClock FixedClock() {
    return {QDateTime(QDate(2007, 4, 12), QTime(14, 30, 15), QTimeZone::utc()),
            QStringLiteral(":")};
}

// What PutMarkedLinesInFront must give, computed the other way round: line by line over
// QString::split instead of one scan of the whole text, so the two can only agree when both
// pick the same lines and the same cuts.
inline QString ExpectedMarkedLines(const QString& text, const QString& marker, qsizetype lead,
                                   const QString& boxText, const QString& noneText) {
    QStringList entries;
    qsizetype lineStart = 0;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        const qsizetype at = line.indexOf(marker, 0, Qt::CaseInsensitive);
        if (at >= 0) {
            const qsizetype from = qMax(qsizetype{0}, lineStart + at - lead);
            entries.prepend(text.mid(from, lineStart + line.size() - from));
        }
        lineStart += line.size() + 2;
    }
    if (entries.isEmpty()) {
        return noneText;
    }
    return entries.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n") + boxText;
}

}  // namespace quorvane::fuzz
