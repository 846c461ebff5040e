// System log analysis on hostile page text. Every box gets a value or its fixed text, never
// anything else: values come from the marker's own line, uptimes have the uptime layout.

#include "analysis_support.h"
#include "fuzz_support.h"
#include "system_log_analysis.h"

#include <QRegularExpression>

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

const QString kNotFound = QStringLiteral("Not found");
const QString kCrLf = QStringLiteral("\r\n");

// "<days> day(s) hh:mm:ss" with a clock part within one day; the day count may be negative for
// a timestamp after the clock's reading.
bool IsUptimeText(const QString& text) {
    static const QRegularExpression layout(QRegularExpression::anchoredPattern(
        QStringLiteral("-?[0-9]+ day\\(s\\) ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]")));
    return layout.match(text).hasMatch();
}

// The value rule: the rest of the marker's line. It may be empty, but only when the marker
// stands right before a line end or at the very end of the text.
void CheckValue(const QString& log, const QString& marker, const QString& value) {
    if (!log.contains(marker, Qt::CaseInsensitive)) {
        FUZZ_CHECK(value == kNotFound);
        return;
    }
    FUZZ_CHECK(!value.contains(kCrLf));
    FUZZ_CHECK(log.contains(marker + value + kCrLf, Qt::CaseInsensitive) ||
               log.endsWith(marker + value, Qt::CaseInsensitive));
}

void Check(const QString& input) {
    const auto [log, box] = SplitAtNul(input);
    const SystemLogFindings found = AnalyseSystemLog(log, box, FixedClock());

    CheckValue(log, QStringLiteral("WAN IP is "), found.wanIp);
    CheckValue(log, QStringLiteral("DNS Primary IP address is "), found.dns1);
    CheckValue(log, QStringLiteral("DNS Secondary IP address is "), found.dns2);

    const QString noneText = QStringLiteral("No attacks found.");
    FUZZ_CHECK(found.log ==
               ExpectedMarkedLines(log, QStringLiteral("Firewall:"), 21, box, noneText));
    if (found.log != noneText) {
        FUZZ_CHECK(found.log.endsWith(kCrLf + box));
    }

    if (!log.contains(QStringLiteral("Received time from Time Server"), Qt::CaseInsensitive)) {
        FUZZ_CHECK(found.routerTime == QStringLiteral("No time sync"));
    } else {
        FUZZ_CHECK(found.routerTime == QStringLiteral("No valid date") ||
                   IsUptimeText(found.routerTime));
    }

    if (!log.contains(QStringLiteral("PPP1 Session is up."), Qt::CaseInsensitive)) {
        FUZZ_CHECK(found.adslTime == kNotFound);
    } else {
        // A session dated 1970 shows whatever the router uptime box shows.
        FUZZ_CHECK(found.adslTime == QStringLiteral("Not Valid Date") ||
                   found.adslTime == found.routerTime || IsUptimeText(found.adslTime));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(AsUtf8(data, size));
    Check(AsUtf16(data, size));
    return 0;
}
