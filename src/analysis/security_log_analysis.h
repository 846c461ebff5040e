#pragma once

#include "log_timestamps.h"

#include <QString>

namespace quorvane {

// The new text of txtLog: this year's security log lines (each from the year on, the one last in
// the page first) in front of `logBoxText`, or "No attacks found.".
QString AnalyseSecurityLog(const QString& logText, const QString& logBoxText,
                           const AnalysisClock& clock);

}  // namespace quorvane
