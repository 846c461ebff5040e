#pragma once

#include "log_kind.h"
#include "request_url.h"
#include "system_log_analysis.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QUrl>

#include <optional>

namespace quorvane {

inline constexpr char kBlankPage[] = "about:blank";

// What a completed navigation of a browser instance means for the window.
enum class CompletionAction {
    Ignore,          // another instance, or not a log page (about:blank included)
    ReleaseCleared,  // the page a clear request brought back: send the instance to about:blank
    ReadLog,         // a log page to copy, clear and analyse
};

struct CompletionRoute {
    CompletionAction action = CompletionAction::Ignore;
    LogKind kind = LogKind::System;
};

// Which log, if any, a completion of instance `index` at `url` is, while the press's request for
// the `requested` log is under way. The log is the one the press asked for; the URL only has to
// name it ("syslog" or "seclog", in any letter case), so a URL that names both is the log asked
// for, and one that names only the other is no log of this request. Only the page's path and
// query tell: a router whose host name holds one of the words keeps its two logs apart all the
// same.
CompletionRoute RouteCompletion(int index, const QString& url, bool clearPending,
                                LogKind requested);

// The window's settings at the moment a log page completes.
struct LogPageSettings {
    int copyValue = 0;   // "Copy log(s)?": 0 unticked, 1 ticked, 2 greyed
    int clearValue = 0;  // "Clear log(s)?"
    QString appFolder;
    QString userDataFolder;         // takes the copy when appFolder cannot
    bool copyFallbackSaid = false;  // the window has already said where such copies go
    QUrl logPageUrl;                // the page that was read, as the component reports it
    QString logBoxText;             // what txtLog holds before the analysis
    AnalysisClock clock;
    QLocale locale;
};

// What the window does with a log page that has been read.
struct LogPageOutcome {
    QUrl followUp;  // the clear request (to submit, its answer being no page), or about:blank
    bool clearPending = false;
    std::optional<SystemLogFindings> findings;  // the system log's results, all six boxes
    QString logBoxText;                         // the new text of txtLog, for either log
    bool copyFellBack = false;                  // the copy went to userDataFolder
};

// Copies the page when asked, decides the follow-up navigation and runs the analysis of its kind.
// The clear request goes to the router and the log that were read, never to what the boxes say
// by now. With a copy asked for, the router is asked to clear its log only when the copy was
// written whole and holds at least one line of the log; why it was not is said in the first line
// of txtLog.
LogPageOutcome ReadLogPage(const QString& logText, LogKind kind, const LogPageSettings& settings);

// The text of txtLog after navigation `failure` of instance 1: a failed fetch replaces the box's
// text with why no log was read; a clear request without a 2xx answer is put in front of the
// findings.
QString NavigationFailureText(bool clearPending, const QString& failure, const QString& logBoxText);

// The text of txtLog after instance 1 completed `url`, which is neither its log nor the empty
// page: said as a failure, never passed over in silence.
QString OtherPageText(const QString& url, bool clearPending, const QString& logBoxText);

}  // namespace quorvane
