#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace quorvane {

enum class LogKind { System, Security };

// The name of the copy file inside the application folder.
inline constexpr char kLogCopyFileName[] = "syslog.txt";

struct LogCopyResult {
    bool ok = false;
    QString error;  // a plain sentence for the user when !ok; never holds page content
};

// The pieces of `logText` split at CR LF that contain "/", in page order, unchanged.
QStringList DatedLogLines(const QString& logText);

// Appends the header of `kind` with `today` in the locale's short date format and the dated
// lines to `appFolder` + "syslog.txt" (appFolder ends in a separator). The file is opened and
// closed within the call and only ever appended to; on failure it holds what it held before
// wherever the platform allows.
LogCopyResult AppendLogCopy(const QString& appFolder, const QString& logText, LogKind kind,
                            const QDate& today, const QLocale& locale);

}  // namespace quorvane
