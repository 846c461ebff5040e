#pragma once

#include <QString>

namespace quorvane {

// The index of the first CR LF at or after `from`, or the length of the text when the last line
// has none, so that a value or line at the very end runs to the end of the text.
qsizetype LineEndFrom(const QString& text, qsizetype from);

// The lines of `text` that hold `marker` (in any letter case), each cut from `lead` characters
// before the marker's first occurrence in that line (never before the start of the text) to its
// line end. The cut lines are placed in reverse order of position, each followed by CR LF, in
// front of `boxText`; without any, the result is "No attacks found." alone. A line yields one
// entry however often it holds the marker, since the next search starts at its line end.
QString PutMarkedLinesInFront(const QString& text, const QString& marker, qsizetype lead,
                              const QString& boxText);

}  // namespace quorvane
