#pragma once

#include "fetch_failure.h"
#include "log_copy_file.h"

#include <QString>

namespace quorvane {

// Every sentence the results box can show besides the analyses' own findings: why no log was
// read, why a copy was not written or went elsewhere, why the router's log was not cleared or
// not confirmed cleared. The window and the dispatch only place them.

// The longest that FailureSentence() returns.
inline constexpr qsizetype kMaxFailureSentence = 300;

// What happened, with at most a few short quotes of the router or of what was typed.
QString FailureSentence(const FetchFailure& failure);

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

}  // namespace quorvane
