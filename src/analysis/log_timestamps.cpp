#include "log_timestamps.h"

#include <QDate>
#include <QTime>
#include <QTimeZone>

#include <array>

namespace quorvane {

namespace {

constexpr qint64 kSecondsPerDay = 86400;

// A timestamp field as the router's 16-bit counters hold it; blanks around it and a sign are
// tolerated, anything else that is not a decimal number is not.
std::optional<int> ReadField(const QString& field) {
    bool ok = false;
    const short value = field.toShort(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

// Seconds since the start of the day, ignoring any fraction: log timestamps have none and the
// clock reading is compared to them second by second.
qint64 WholeSeconds(const QTime& time) { return time.msecsSinceStartOfDay() / 1000; }

QString TwoDigits(qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

}  // namespace

QString GetField(const QString& text, const QString& delimiter, int n) {
    if (n < 1) {
        return {};
    }
    if (delimiter.isEmpty()) {
        return n == 1 ? text : QString();
    }
    // The appended delimiter ends the last field like all the others.
    const QString searchText = text + delimiter;
    qsizetype fieldStart = 0;
    qsizetype found = -1;
    for (int pass = 0; pass < n; ++pass) {
        if (pass > 0) {
            fieldStart = found + delimiter.size();
        }
        found = searchText.indexOf(delimiter, fieldStart, Qt::CaseSensitive);
        if (found < 0) {
            return {};
        }
    }
    return searchText.mid(fieldStart, found - fieldStart);
}

bool IsDateTimeText(const QString& text) {
    struct Field {
        int minDigits;
        int maxDigits;
        char16_t followedBy;  // 0 for the last field, which must end the text
    };
    static constexpr std::array<Field, 6> kLayout{
        {{1, 2, u'/'}, {1, 2, u'/'}, {4, 4, u' '}, {1, 2, u':'}, {1, 2, u':'}, {1, 2, 0}}};
    std::array<int, 6> values{};
    qsizetype pos = 0;
    for (std::size_t i = 0; i < kLayout.size(); ++i) {
        int digits = 0;
        // Only ASCII digits: QChar::isDigit would also let other scripts' digits through.
        while (digits < kLayout[i].maxDigits && pos < text.size() && text[pos] >= u'0' &&
               text[pos] <= u'9') {
            values[i] = values[i] * 10 + (text[pos].unicode() - u'0');
            ++digits;
            ++pos;
        }
        if (digits < kLayout[i].minDigits) {
            return false;
        }
        if (kLayout[i].followedBy != 0) {
            if (pos >= text.size() || text[pos] != kLayout[i].followedBy) {
                return false;
            }
            ++pos;
        }
    }
    return pos == text.size() && QDate(values[2], values[0], values[1]).isValid() &&
           QTime(values[3], values[4], values[5]).isValid();
}

std::optional<QDateTime> ParseLogTimestamp(const QString& timestamp) {
    const QString datePart = GetField(timestamp, QStringLiteral(" "), 1);
    const QString timePart = GetField(timestamp, QStringLiteral(" "), 2);
    const QString slash = QStringLiteral("/");
    const QString colon = QStringLiteral(":");
    const auto month = ReadField(GetField(datePart, slash, 1));
    const auto day = ReadField(GetField(datePart, slash, 2));
    const auto year = ReadField(GetField(datePart, slash, 3));
    const auto hour = ReadField(GetField(timePart, colon, 1));
    const auto minute = ReadField(GetField(timePart, colon, 2));
    const auto second = ReadField(GetField(timePart, colon, 3));
    if (!month || !day || !year || !hour || !minute || !second) {
        return std::nullopt;
    }
    // Counting from the first of the year lets months and days overflow or underflow into the
    // next larger unit: month 13 is January of the next year, day 0 the last day of the month
    // before. The calendar has no year 0, so a date that would need one is unreadable.
    const QDate newYear(*year, 1, 1);
    if (!newYear.isValid()) {
        return std::nullopt;
    }
    const QDate date = newYear.addMonths(*month - 1).addDays(*day - 1);
    if (!date.isValid()) {
        return std::nullopt;
    }
    // UTC has no daylight-saving gaps, so the wall-clock value comes out as written (02:30 on
    // the night the clocks go forward stays 02:30) and hours carry into days exactly.
    const qint64 seconds = qint64{*hour} * 3600 + qint64{*minute} * 60 + *second;
    const QDateTime value = QDateTime(date, QTime(0, 0), QTimeZone::utc()).addSecs(seconds);
    if (!value.isValid()) {
        return std::nullopt;
    }
    return value;
}

QString FormatUptime(const QDateTime& t, const AnalysisClock& clock) {
    const QDate nowDate = clock.now.date();
    const QTime nowTime = clock.now.time();
    if (!t.isValid() || !nowDate.isValid() || !nowTime.isValid()) {
        return {};
    }
    // Plain arithmetic on the two wall-clock readings: a daylight-saving change or a zone
    // between them must not make the router's uptime an hour longer or shorter. Julian day
    // numbers keep the day count exact however far apart the dates are.
    const qint64 days = nowDate.toJulianDay() - t.date().toJulianDay();
    const qint64 span = days * kSecondsPerDay + WholeSeconds(nowTime) - WholeSeconds(t.time());
    const qint64 clockPart = (span < 0 ? -span : span) % kSecondsPerDay;
    const QString& sep = clock.timeSeparator;
    return QString::number(days) + QStringLiteral(" day(s) ") + TwoDigits(clockPart / 3600) + sep +
           TwoDigits(clockPart / 60 % 60) + sep + TwoDigits(clockPart % 60);
}

}  // namespace quorvane
