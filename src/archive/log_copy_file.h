#pragma once

#include "copy_file_problem.h"
#include "log_kind.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace quorvane {

// The name of the copy file inside the application folder.
inline constexpr char kLogCopyFileName[] = "syslog.txt";

// How long a copy waits while another window (or program) appends to the same copy file. An
// append of the largest page takes a fraction of that; a holder that keeps the file longer is
// stuck, and the window, whose own thread waits, should not freeze with it.
inline constexpr std::chrono::milliseconds kCopyFileWait{3'000};

struct LogCopyResult {
    bool ok = false;
    CopyFileProblem problem;  // when !ok
};

// Where a copy goes: the program's folder, or the user's data folder when the program's folder
// cannot take it (a system-wide install, a read-only medium).
struct LogCopyPlace {
    QString folder;         // ends in a separator; empty when neither folder can take a copy
    bool fellBack = false;  // `folder` is the user's data folder
    CopyFileProblem inProgramFolder;  // when fellBack or `folder` is empty
    CopyFileProblem inDataFolder;     // when `folder` is empty
};

// The pieces of `logText` split at CR LF that contain "/", in page order, unchanged.
QStringList DatedLogLines(const QString& logText);

// Chooses the folder whose syslog.txt receives the next copy, without opening anything. The
// program's folder is kept whenever its syslog.txt can be written, or created there; a syslog.txt
// there that is not a regular file is kept too, so that the copy fails with its reason rather
// than going elsewhere unnoticed. Otherwise the copy goes to `userDataFolder`, which is created
// when missing.
LogCopyPlace ResolveLogCopyFolder(const QString& appFolder, const QString& userDataFolder);

// Appends the header of `kind` with `today` in the locale's short date format and the dated
// lines to `folder` + "syslog.txt" (folder ends in a separator). The file is opened and closed
// within the call and only ever appended to; on failure it holds what it held before. Only a
// regular file is written: a pipe, device, socket or folder of that name is a failure, and
// nothing here waits for a reader or a device. Appends from several processes take turns, each
// waiting at most `wait` for its turn.
LogCopyResult AppendLogCopy(const QString& folder, const QString& logText, LogKind kind,
                            const QDate& today, const QLocale& locale,
                            std::chrono::milliseconds wait = kCopyFileWait);

}  // namespace quorvane
