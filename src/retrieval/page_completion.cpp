#include "page_completion.h"

#include "log_copy_file.h"
#include "log_text.h"
#include "result_sentences.h"
#include "security_log_analysis.h"

namespace quorvane {

CompletionRoute RouteCompletion(int index, const QString& url, bool clearPending,
                                LogKind requested) {
    if (index != 1) return {};
    const QUrl parsed(url);
    const QString where = parsed.path() + u'?' + parsed.query();
    const QLatin1String word(requested == LogKind::System ? "syslog" : "seclog");
    if (!where.contains(word, Qt::CaseInsensitive)) return {};
    return {clearPending ? CompletionAction::ReleaseCleared : CompletionAction::ReadLog, requested};
}

LogPageOutcome ReadLogPage(const QString& logText, LogKind kind, const LogPageSettings& settings) {
    LogPageOutcome outcome;
    QString warning;  // said in front of the analysis' text
    QString notice;   // where the copy went, said in front of the warning
    bool copied = true;
    bool keptAnyLine = true;
    if (settings.copyValue == 1) {
        const LogCopyPlace place =
            ResolveLogCopyFolder(settings.appFolder, settings.userDataFolder);
        if (place.folder.isEmpty()) {
            copied = false;
            warning = NoCopyPlaceSentence(place);
        } else if (const LogCopyResult copy = AppendLogCopy(
                       place.folder, logText, kind, settings.clock.now.date(), settings.locale);
                   !copy.ok) {
            copied = false;
            warning = CopyFailureSentence(copy.problem);
        } else if (place.fellBack) {
            outcome.copyFellBack = true;
            if (!settings.copyFallbackSaid) notice = CopyFallbackNotice(place);
        }
        keptAnyLine = !DatedLogLines(logText).isEmpty();
    }

    outcome.followUp = QUrl(QString::fromLatin1(kBlankPage));
    if (settings.clearValue != 0) {
        if (!copied) {
            // Clearing now would lose log lines that exist nowhere else.
            warning = ClearSkippedAfterCopyFailure(warning);
        } else if (!keptAnyLine) {
            // A page without a dated line is no log we could keep; clearing gains nothing.
            warning = NoDatedLineSentence();
        } else {
            outcome.followUp = ClearRequestUrl(settings.logPageUrl, kind);
            outcome.clearPending = true;
        }
    }

    if (kind == LogKind::System) {
        outcome.findings = AnalyseSystemLog(logText, settings.logBoxText, settings.clock);
        outcome.logBoxText = outcome.findings->log;
    } else {
        outcome.logBoxText = AnalyseSecurityLog(logText, settings.logBoxText, settings.clock);
    }
    for (const QString& line : {warning, notice}) {
        if (line.isEmpty()) continue;
        outcome.logBoxText.prepend(line + kLineEnd);
        if (outcome.findings) outcome.findings->log = outcome.logBoxText;
    }
    return outcome;
}

QString NavigationFailureText(bool clearPending, const QString& failure,
                              const QString& logBoxText) {
    if (clearPending) return ClearNotConfirmedLine(failure) + kLineEnd + logBoxText;
    return LogNotReadText(failure);
}

QString OtherPageText(const QString& url, bool clearPending, const QString& logBoxText) {
    const QUrl page(url);
    const FetchFailure other =
        FetchFailure::make(FetchFailure::Kind::OtherPath, page.authority(), page.path());
    return NavigationFailureText(clearPending, FailureSentence(other), logBoxText);
}

}  // namespace quorvane
