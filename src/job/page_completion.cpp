#include "page_completion.h"

#include "request_url.h"
#include "security_log_analysis.h"

namespace quorvane {

CompletionRoute RouteCompletion(const QString& url, bool clearPending, LogKind requested) {
    const QUrl parsed(url);
    const QString where = parsed.path() + u'?' + parsed.query();
    const QLatin1String word(requested == LogKind::System ? "syslog" : "seclog");
    if (!where.contains(word, Qt::CaseInsensitive)) return {};
    return {clearPending ? CompletionAction::ReleaseCleared : CompletionAction::ReadLog, requested};
}

LogPageOutcome ReadLogPage(const QString& logText, LogKind kind, const LogPageSettings& settings) {
    LogPageOutcome outcome;
    LogResults& results = outcome.results;
    bool keptAnyLine = true;
    if (settings.copyValue == 1) {
        const LogCopyPlace place =
            ResolveLogCopyFolder(settings.appFolder, settings.userDataFolder);
        if (place.folder.isEmpty()) {
            results.copyFailure =
                PageFailure::make(PageFailure::Kind::NoCopyPlace, {},
                                  CopyPlaces{place.inProgramFolder, place.inDataFolder});
        } else if (const LogCopyResult copy = AppendLogCopy(
                       place.folder, logText, kind, settings.clock.now.date(), settings.locale);
                   !copy.ok) {
            results.copyFailure =
                PageFailure::make(PageFailure::Kind::CopyNotWritten, {}, copy.problem);
        } else if (place.fellBack) {
            results.fellBackTo = place;
        }
        keptAnyLine = !DatedLogLines(logText).isEmpty();
    }

    outcome.followUp = QUrl(QString::fromLatin1(kBlankPage));
    if (settings.clearValue != 0) {
        // Clearing after a failed copy would lose log lines that exist nowhere else; a page
        // without a dated line is no log we could keep, and clearing it gains nothing.
        if (results.copyFailure || !keptAnyLine) {
            results.clearHeldBack = true;
        } else {
            outcome.followUp = ClearRequestUrl(settings.logPageUrl, kind);
            outcome.clearPending = true;
        }
    }

    if (kind == LogKind::System) {
        results.findings = AnalyseSystemLog(logText, settings.logBoxText, settings.clock);
        results.logBoxText = results.findings->log;
    } else {
        results.logBoxText = AnalyseSecurityLog(logText, settings.logBoxText, settings.clock);
    }
    return outcome;
}

}  // namespace quorvane
