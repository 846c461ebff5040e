#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace quorvane {

// The moment an analysis runs, as the user's wall clock shows it, and the user's time separator.
// Analyses never read the clock themselves, so every rule can be tested at a chosen moment.
// Only now.date() and now.time() are read: its Qt::TimeSpec or zone never shifts a result.
struct AnalysisClock {
    QDateTime now;                // local wall-clock date and time, whole seconds
    QString timeSeparator = ":";  // the locale's separator for the uptime clock part
};

// The n-th field (1-based) of `text` split at `delimiter`; adjacent delimiters give empty fields.
// A field number outside 1..fields gives the empty text. An empty delimiter makes the whole text
// the only field.
QString GetField(const QString& text, const QString& delimiter, int n);

// Whether a piece cut out of a log reads as a date and time at all (the guard in front of
// ParseLogTimestamp). It accepts exactly M/D/YYYY H:M:S: month, day, hour, minute and second of
// one or two ASCII digits, a year of four, one blank between date and time, nothing before or
// after, and the values must name a real calendar date (year 0001..9999) and a time of day
// 00:00:00..23:59:59. The user's locale plays no part: the router always writes month first.
bool IsDateTimeText(const QString& text);

// A router timestamp MM/DD/YYYY HH:MM:SS (fields of one or two digits) as a wall-clock value;
// out-of-range fields carry into the next unit, in either direction. Empty when a field is
// missing, empty, not a decimal number or outside -32768..32767, or the date leaves the calendar.
// The value is in UTC only so that no daylight-saving rule can move it: read it as a naive
// local date and time (date() and time()), never convert it.
std::optional<QDateTime> ParseLogTimestamp(const QString& timestamp);

// "<days> day(s) hh<sep>mm<sep>ss" elapsed from `t` to `clock.now`: the day count is the number
// of calendar dates between them, the clock part the absolute span modulo one day. Both come from
// the one reading in `clock`, so they agree even across midnight. Empty when either is invalid.
QString FormatUptime(const QDateTime& t, const AnalysisClock& clock);

}  // namespace quorvane
