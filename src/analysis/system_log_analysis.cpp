#include "system_log_analysis.h"

#include "marked_lines.h"

#include <QCoreApplication>

namespace quorvane {

namespace {

// A log line is a 19-character timestamp, two characters, then the message that holds the
// marker: the timestamp starts this many characters before the marker.
constexpr qsizetype kTimestampLead = 21;
constexpr qsizetype kTimestampLength = 19;

// The findings' fixed words, translatable like the window's captions.
QString Said(const char* words) { return QCoreApplication::translate("quorvane::Findings", words); }
QString NotFound() { return Said("Not found"); }

// The rest of the line after the first `marker`, unchanged, or "Not found".
QString ValueAfter(const QString& logText, const QString& marker) {
    const qsizetype found = logText.indexOf(marker, 0, Qt::CaseInsensitive);
    if (found < 0) {
        return NotFound();
    }
    const qsizetype start = found + marker.size();
    return logText.mid(start, LineEndFrom(logText, start) - start);
}

// The timestamp of the line that holds the first `marker`, read only when it is a date and time.
struct MarkedTime {
    bool markerFound = false;
    std::optional<QDateTime> time;
};

MarkedTime TimeOfMarker(const QString& logText, const QString& marker) {
    const qsizetype found = logText.indexOf(marker, 0, Qt::CaseInsensitive);
    if (found < 0) {
        return {};
    }
    // A marker too close to the start of the text leaves a shorter piece, read from the first
    // character on; it normally fails the date check.
    const qsizetype end = found - kTimestampLead + kTimestampLength;
    const qsizetype start = qMax(qsizetype{0}, found - kTimestampLead);
    const QString piece = logText.mid(start, qMax(qsizetype{0}, end - start));
    if (!IsDateTimeText(piece)) {
        return {true, std::nullopt};
    }
    return {true, ParseLogTimestamp(piece)};
}

QString UptimeText(const MarkedTime& marked, const AnalysisClock& clock,
                   const QString& noMarkerText, const QString& invalidDateText) {
    if (!marked.markerFound) {
        return noMarkerText;
    }
    if (!marked.time) {
        return invalidDateText;
    }
    return FormatUptime(*marked.time, clock);
}

}  // namespace

SystemLogFindings AnalyseSystemLog(const QString& logText, const QString& logBoxText,
                                   const AnalysisClock& clock) {
    SystemLogFindings findings;
    findings.wanIp = ValueAfter(logText, QStringLiteral("WAN IP is "));
    findings.log =
        PutMarkedLinesInFront(logText, QStringLiteral("Firewall:"), kTimestampLead, logBoxText);
    findings.dns1 = ValueAfter(logText, QStringLiteral("DNS Primary IP address is "));
    findings.dns2 = ValueAfter(logText, QStringLiteral("DNS Secondary IP address is "));

    const MarkedTime synced =
        TimeOfMarker(logText, QStringLiteral("Received time from Time Server"));
    findings.routerTime = UptimeText(synced, clock, Said("No time sync"), Said("No valid date"));

    const MarkedTime adslUp = TimeOfMarker(logText, QStringLiteral("PPP1 Session is up."));
    // A session that comes up before the router has its time carries the unset clock's 1970
    // date. The router takes its time from the time server over that very session, right after
    // it came up, so the time since the sync stands in for the session's uptime.
    if (adslUp.time && adslUp.time->date().year() == 1970) {
        findings.adslTime = findings.routerTime;
    } else {
        findings.adslTime = UptimeText(adslUp, clock, NotFound(), Said("Not Valid Date"));
    }
    return findings;
}

}  // namespace quorvane
