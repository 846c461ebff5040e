// Timestamp helpers on hostile text: GetField agrees with QString::split, the date-time check
// admits only real dates that the parser reads back as written, and uptime texts agree with
// QDateTime's own arithmetic. The input is a timestamp, optionally a NUL and a clock reading.

#include "analysis_support.h"
#include "fuzz_support.h"

#include <QRegularExpression>

#include <algorithm>

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

void CheckGetField(const QString& text) {
    FUZZ_CHECK(GetField(text, QString(), 1) == text);
    FUZZ_CHECK(GetField(text, QString(), 2).isEmpty());
    // Single characters as the callers use them; longer delimiters can overlap the one that
    // GetField appends, where QString::split is no yardstick.
    for (const char16_t c : {u' ', u'/', u':'}) {
        const QString delimiter(c);
        const QStringList fields = text.split(delimiter);
        const int count = static_cast<int>(fields.size());
        FUZZ_CHECK(GetField(text, delimiter, 0).isEmpty());
        FUZZ_CHECK(GetField(text, delimiter, -1).isEmpty());
        FUZZ_CHECK(GetField(text, delimiter, count + 1).isEmpty());
        // Every field would make long inputs quadratic; the first few and the last suffice.
        for (int n = 1; n <= count; n = n < 8 ? n + 1 : std::max(n + 1, count)) {
            FUZZ_CHECK(GetField(text, delimiter, n) == fields.at(n - 1));
        }
    }
    // Still, any delimiter at all ends the first field where it first stands.
    const QString delimiter = text.left(2);
    FUZZ_CHECK(text.startsWith(GetField(text, delimiter, 1)));
    GetField(text, delimiter, 2);
    GetField(text, delimiter, 3);
}

QString Canonical(const QDateTime& t) {
    return QString::asprintf("%02d/%02d/%04d %02d:%02d:%02d", t.date().month(), t.date().day(),
                             t.date().year(), t.time().hour(), t.time().minute(),
                             t.time().second());
}

std::optional<QDateTime> CheckTimestamp(const QString& text) {
    const std::optional<QDateTime> parsed = ParseLogTimestamp(text);
    if (parsed) {
        FUZZ_CHECK(parsed->isValid());
        FUZZ_CHECK(parsed->timeZone() == QTimeZone::utc());
        FUZZ_CHECK(parsed->time().msec() == 0);
        // Any value within four-digit years reads back from its well-formed timestamp.
        if (parsed->date().year() >= 1 && parsed->date().year() <= 9999) {
            const QString canonical = Canonical(*parsed);
            FUZZ_CHECK(IsDateTimeText(canonical));
            FUZZ_CHECK(ParseLogTimestamp(canonical) == parsed);
        }
    }
    if (IsDateTimeText(text)) {
        static const QRegularExpression layout(QRegularExpression::anchoredPattern(QStringLiteral(
            "([0-9]{1,2})/([0-9]{1,2})/([0-9]{4}) ([0-9]{1,2}):([0-9]{1,2}):([0-9]{1,2})")));
        const QRegularExpressionMatch m = layout.match(text);
        FUZZ_CHECK(m.hasMatch());
        // A text that passed names a real date and time, so nothing carries over.
        FUZZ_CHECK(parsed.has_value());
        FUZZ_CHECK(parsed->date() ==
                   QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt()));
        FUZZ_CHECK(parsed->time() ==
                   QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt()));
    }
    return parsed;
}

void CheckUptime(const QDateTime& t, const QDateTime& now) {
    const QString text = FormatUptime(t, {now, QStringLiteral(":")});
    static const QRegularExpression layout(QRegularExpression::anchoredPattern(
        QStringLiteral("(-?[0-9]+) day\\(s\\) ([0-9]{2}):([0-9]{2}):([0-9]{2})")));
    const QRegularExpressionMatch m = layout.match(text);
    FUZZ_CHECK(m.hasMatch());
    FUZZ_CHECK(m.captured(1).toLongLong() == t.date().daysTo(now.date()));
    // Both readings are UTC, so QDateTime's span is the plain wall-clock difference.
    const qint64 span = t.secsTo(now);
    const qint64 clockPart = m.captured(2).toLongLong() * 3600 + m.captured(3).toLongLong() * 60 +
                             m.captured(4).toLongLong();
    FUZZ_CHECK(m.captured(3).toInt() < 60 && m.captured(4).toInt() < 60);
    FUZZ_CHECK(clockPart == (span < 0 ? -span : span) % 86400);

    // The reading's time zone shifts nothing; the separator changes only the separator.
    const QDateTime elsewhere(now.date(), now.time(), QTimeZone(-(9 * 3600 + 1800)));
    FUZZ_CHECK(FormatUptime(t, {elsewhere, QStringLiteral(":")}) == text);
    FUZZ_CHECK(FormatUptime(t, {now, QStringLiteral(".")}) == QString(text).replace(u':', u'.'));
}

void Check(const QString& input) {
    const auto [timestamp, reading] = SplitAtNul(input);
    CheckGetField(timestamp);
    const std::optional<QDateTime> t = CheckTimestamp(timestamp);
    const std::optional<QDateTime> now = CheckTimestamp(reading);
    FUZZ_CHECK(FormatUptime(QDateTime(), FixedClock()).isEmpty());
    if (t) {
        CheckUptime(*t, FixedClock().now);
        if (now) {
            CheckUptime(*t, *now);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(AsUtf8(data, size));
    Check(AsUtf16(data, size));
    return 0;
}
