#include "analysis_clock.h"

#include <QDateTime>
#include <QTimeZone>

namespace quorvane {

QString TimeSeparator(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hour = format.indexOf(u'h', 0, Qt::CaseInsensitive);
    if (hour < 0) return QStringLiteral(":");
    qsizetype start = hour;
    while (start < format.size() && (format[start] == u'h' || format[start] == u'H')) ++start;
    qsizetype end = start;
    while (end < format.size() && format[end] != u'm') ++end;
    const QString separator = format.mid(start, end - start);
    return separator.isEmpty() || end == format.size() ? QStringLiteral(":") : separator;
}

AnalysisClock CurrentAnalysisClock(const QLocale& locale) {
    const QDateTime now = QDateTime::currentDateTime();
    // Wall-clock date and time only: the analyses do calendar arithmetic on what the user's
    // clock shows, as the router's timestamps do, with no time zone in between.
    const QTime time(now.time().hour(), now.time().minute(), now.time().second());
    return {QDateTime(now.date(), time, QTimeZone::utc()), TimeSeparator(locale)};
}

}  // namespace quorvane
