#include "page_completion.h"

#include "security_log_analysis.h"

namespace quorvane {

CompletionRoute RouteCompletion(const QString& url, bool clearPending, LogKind requested) {
    const QUrl parsed(url);
    const QString where = parsed.path() + u'?' + parsed.query();
    const QLatin1String word(requested == LogKind::System ? "syslog" : "seclog");
    if (!where.contains(word, Qt::CaseInsensitive)) return {};
    return {clearPending ? CompletionAction::ReleaseCleared : CompletionAction::ReadLog, requested};
}

LogPageOutcome ReadLogPage(const QString& logText, const LogPress& press, const QUrl& logPageUrl,
                           const QString& logBoxText, const AnalysisClock& clock) {
    const LogKind kind = press.kind;
    LogPageOutcome outcome;
    LogResults& results = outcome.results;
    bool keptAnyLine = true;
    if (press.copyValue == 1) {
        const LogCopyPlace place = ResolveLogCopyFolder(press.appFolder, press.userDataFolder);
        if (place.folder.isEmpty()) {
            results.copyFailure =
                PageFailure::make(PageFailure::Kind::NoCopyPlace, {},
                                  CopyPlaces{place.inProgramFolder, place.inDataFolder});
        } else if (const LogCopyResult copy =
                       AppendLogCopy(place.folder, logText, kind, clock.now.date(), press.locale);
                   !copy.ok) {
            results.copyFailure =
                PageFailure::make(PageFailure::Kind::CopyNotWritten, {}, copy.problem);
        } else if (place.fellBack) {
            results.fellBackTo = place;
        }
        keptAnyLine = !DatedLogLines(logText).isEmpty();
    }

    outcome.followUp = QUrl(QString::fromLatin1(kBlankPage));
    if (press.clearValue != 0) {
        // Clearing after a failed copy would lose log lines that exist nowhere else; a page
        // without a dated line is no log we could keep, and clearing it gains nothing.
        if (results.copyFailure || !keptAnyLine) {
            results.clearHeldBack = true;
        } else {
            outcome.followUp = ClearRequestUrl(logPageUrl, kind);
            outcome.clearPending = true;
        }
    }

    if (kind == LogKind::System) {
        results.findings = AnalyseSystemLog(logText, logBoxText, clock);
        results.logBoxText = results.findings->log;
    } else {
        results.logBoxText = AnalyseSecurityLog(logText, logBoxText, clock);
    }
    return outcome;
}

}  // namespace quorvane
