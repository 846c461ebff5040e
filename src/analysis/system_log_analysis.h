#pragma once

#include "log_timestamps.h"

#include <QString>

namespace quorvane {

// What the system log analysis writes into each result box of the main window.
struct SystemLogFindings {
    QString wanIp;       // txtWANIP
    QString log;         // txtLog: the firewall lines, newest in the page first
    QString dns1;        // txtDNS1
    QString dns2;        // txtDNS2
    QString routerTime;  // txtRouterTime
    QString adslTime;    // txtADSLTime
};

// `logBoxText` is what txtLog holds before the analysis; firewall lines are put in front of it.
SystemLogFindings AnalyseSystemLog(const QString& logText, const QString& logBoxText,
                                   const AnalysisClock& clock);

}  // namespace quorvane
