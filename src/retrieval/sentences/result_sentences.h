#pragma once

#include "log_copy_file.h"
#include "page_failure.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quorvane {

// The sentence table: every sentence the results box can show besides the analyses' own
// findings: why no log was read, why a copy was not written or went elsewhere, why the router's
// log was not cleared or not confirmed cleared. Only the window's edge turns facts into words,
// here, and all of them are translatable.

// The longest that FailureSentence() returns for a failure of the router's.
inline constexpr qsizetype kMaxFailureSentence = 300;

// What happened, with at most a few short quotes of the router or of what was typed.
QString FailureSentence(const PageFailure& failure);

// txtLog's whole text when no log was read.
QString LogNotReadText(const QString& failureSentence);
// The line in front of the findings when the router did not confirm the clear request; it may
// have cleared its log all the same.
QString ClearNotConfirmedLine(const QString& failureSentence);

// The copy of a log was not written: at `problem.path` for `problem`'s reason.
QString CopyFailureSentence(const CopyFileProblem& problem);
// Neither the program's folder nor the user's data folder can take the copy.
QString NoCopyPlaceSentence(const LogCopyPlace& place);
// The copy goes to the user's data folder, and why.
QString CopyFallbackNotice(const LogCopyPlace& place);
// The web engine runs on the computer's network, since the system allows it no network of its own.
QString EngineSharesNetworkNotice();
// After a copy failure: the router's log is left as it is.
QString ClearSkippedAfterCopyFailure(const QString& copyFailure);
// A page that holds no dated line is kept, and the router's log is left as it is.
QString NoDatedLineSentence();

// The lines said in front of the analysis' findings once a log was read, the top one first:
// where the copy went instead (`fellBackTo`, when not said before in the session), then why it
// was not written and why the router's log was not cleared.
QStringList KeepingLines(const std::optional<PageFailure>& copyFailure, bool clearHeldBack,
                         const LogCopyPlace* fellBackTo);

}  // namespace quorvane
