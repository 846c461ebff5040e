#include "security_log_analysis.h"

#include "marked_lines.h"

namespace quorvane {

QString AnalyseSecurityLog(const QString& logText, const QString& logBoxText,
                           const AnalysisClock& clock) {
    // Plain digits, never the locale's number format: the router writes 2007, not "2,007".
    const QString yearText = QString::number(clock.now.date().year());
    return PutMarkedLinesInFront(logText, yearText, 0, logBoxText);
}

}  // namespace quorvane
