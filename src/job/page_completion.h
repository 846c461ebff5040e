#pragma once

#include "log_copy_file.h"
#include "log_kind.h"
#include "page_failure.h"
#include "page_source.h"
#include "request_url.h"
#include "system_log_analysis.h"

#include <QLocale>
#include <QString>
#include <QUrl>

#include <optional>

namespace quorvane {

// What a completed navigation of a press's page means.
enum class CompletionAction {
    Ignore,          // not a log page (about:blank included)
    ReleaseCleared,  // the page a clear request brought back: send the loader to about:blank
    ReadLog,         // a log page to copy, clear and analyse
};

struct CompletionRoute {
    CompletionAction action = CompletionAction::Ignore;
    LogKind kind = LogKind::System;
};

// Which log, if any, a completion at `url` is, while the press's request for the `requested` log
// is under way. The log is the one the press asked for; the URL only has to name it ("syslog" or
// "seclog", in any letter case), so a URL that names both is the log asked for, and one that
// names only the other is no log of this request. Only the page's path and query tell: a router
// whose host name holds one of the words keeps its two logs apart all the same.
CompletionRoute RouteCompletion(const QString& url, bool clearPending, LogKind requested);

// What the user asked for with one press: the log, the login as typed, the two check boxes, and
// where a copy may go.
struct LogPress {
    LogKind kind = LogKind::System;
    RouterLogin login;
    int copyValue = 0;   // "Copy log(s)?": 0 unticked, 1 ticked, 2 greyed
    int clearValue = 0;  // "Clear log(s)?"
    QString appFolder;
    QString userDataFolder;  // takes the copy when appFolder cannot
    QLocale locale;
};

// What a press learned from the log page it read, as facts: the window's edge words them.
struct LogResults {
    std::optional<SystemLogFindings> findings;  // the system log's results, all six boxes
    QString logBoxText;                         // the analysis' new text of txtLog, either log
    std::optional<PageFailure> copyFailure;     // the copy was asked for and not written
    bool clearHeldBack = false;  // the clear was asked for and not sent: the copy failed, or
                                 // the page held no dated line to keep
    std::optional<LogCopyPlace> fellBackTo;  // the copy went to the user's data folder
};

struct LogPageOutcome {
    QUrl followUp;  // the clear request (to submit, its answer being no page), or about:blank
    bool clearPending = false;
    LogResults results;
};

// Copies the page read at `logPageUrl` when asked, decides the follow-up navigation and runs the
// analysis of its kind, whose findings go in front of `logBoxText`. The clear request goes to the
// router and the log that were read. With a copy asked for, the router is asked to clear its log
// only when the copy was written whole and holds at least one line of the log.
LogPageOutcome ReadLogPage(const QString& logText, const LogPress& press, const QUrl& logPageUrl,
                           const QString& logBoxText, const AnalysisClock& clock);

}  // namespace quorvane

Q_DECLARE_METATYPE(quorvane::LogResults)
