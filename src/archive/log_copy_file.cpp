#include "log_copy_file.h"

#include "log_text.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QStringEncoder>
#include <QStringView>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

namespace quorvane {

namespace {

QString HeaderText(LogKind kind) {
    switch (kind) {
        case LogKind::System:
            return QStringLiteral("Router log saved on ");
        case LogKind::Security:
            return QStringLiteral("Router security log saved on ");
    }
    return {};
}

// Several locales (en_US "M/d/yy", de_DE "dd.MM.yy") abbreviate the year in their short format,
// which would make a file that grows over many years ambiguous. The locale keeps the order and
// separators; only a two-digit year field is widened. Quoted literal text is left alone.
QString ShortDateFormatWithFullYear(const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString widened;
    widened.reserve(format.size() + 2);
    bool inQuote = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            inQuote = !inQuote;
        } else if (!inQuote && c == u'y') {
            qsizetype run = 1;
            while (i + run < format.size() && format.at(i + run) == u'y') ++run;
            widened += QString(run == 2 ? 4 : run, u'y');
            i += run;
            continue;
        }
        widened += c;
        ++i;
    }
    return widened;
}

NotARegularFile StandingOf(mode_t mode) {
    return S_ISDIR(mode)    ? NotARegularFile::Directory
           : S_ISFIFO(mode) ? NotARegularFile::NamedPipe
           : S_ISSOCK(mode) ? NotARegularFile::Socket
           : S_ISCHR(mode)  ? NotARegularFile::CharacterDevice
           : S_ISBLK(mode)  ? NotARegularFile::BlockDevice
                            : NotARegularFile::Other;
}

CopyFileProblem SystemProblem(const QString& path, const QString& reason) {
    return {path, reason, std::nullopt};
}

CopyFileProblem NotRegularProblem(const QString& path, mode_t mode) {
    return {path, {}, StandingOf(mode)};
}

enum class Fit { Writable, NotRegular, Unwritable };

struct CopyFileCheck {
    Fit fit = Fit::Unwritable;
    CopyFileProblem problem;  // when the file does not fit
};

// Whether the copy file at `path`, inside `folder`, can be written or created, told without
// opening it: opening a pipe waits for a reader, and opening a device can do something of its
// own. access() rather than the permission bits, so that a read-only mount and root's rights
// count as they will when the file is opened.
CopyFileCheck CheckCopyFile(const QString& folder, const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    if (::stat(native.constData(), &status) == 0) {
        if (!S_ISREG(status.st_mode))
            return {Fit::NotRegular, NotRegularProblem(path, status.st_mode)};
        if (::access(native.constData(), W_OK) == 0) return {Fit::Writable, {}};
        return {Fit::Unwritable, SystemProblem(path, qt_error_string(errno))};
    }
    if (errno != ENOENT) return {Fit::Unwritable, SystemProblem(path, qt_error_string(errno))};
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0)
        return {Fit::Writable, {}};
    return {Fit::Unwritable, SystemProblem(path, qt_error_string(errno))};
}

// Creates `folder` and its parents when missing; the system's reason when that fails.
QString MakeFolder(QString folder) {
    while (folder.size() > 1 && folder.endsWith(u'/')) folder.chop(1);
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    return error ? QString::fromLocal8Bit(error.message()) : QString();
}

// Closes a file descriptor at the end of its scope, unless it was closed before.
struct FileHandle {
    explicit FileHandle(int descriptor) : fd(descriptor) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (fd >= 0) ::close(fd);
    }
    int fd;
};

// Takes the exclusive lock on the open file, waiting at most `wait` while another holds it: 0,
// EWOULDBLOCK when the other kept it, or the system's error (a file system without locks). The
// system has no bounded wait for this lock, hence the polling.
int LockWithin(int fd, std::chrono::milliseconds wait) {
    const QDeadlineTimer deadline(wait);
    for (int pauseMs = 1;; pauseMs = std::min(2 * pauseMs, 50)) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno != EWOULDBLOCK && errno != EINTR) return errno;
        if (deadline.hasExpired()) return EWOULDBLOCK;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
}

}  // namespace

QStringList DatedLogLines(const QString& logText) {
    QStringList lines;
    const QStringView text(logText);
    if (text.isEmpty()) return lines;
    qsizetype start = 0;
    while (true) {
        const qsizetype end = text.indexOf(kLineEnd, start);
        const QStringView piece = text.sliced(start, (end < 0 ? text.size() : end) - start);
        if (piece.contains(u'/')) lines.append(piece.toString());
        if (end < 0) break;
        start = end + kLineEnd.size();
    }
    return lines;
}

LogCopyPlace ResolveLogCopyFolder(const QString& appFolder, const QString& userDataFolder) {
    const QString appPath = appFolder + QLatin1String(kLogCopyFileName);
    const CopyFileCheck inApp = CheckCopyFile(appFolder, appPath);
    if (inApp.fit != Fit::Unwritable) return {appFolder, false, {}, {}};

    QString dataFolder = userDataFolder;
    if (!dataFolder.endsWith(u'/')) dataFolder += u'/';
    const QString dataPath = dataFolder + QLatin1String(kLogCopyFileName);
    CopyFileCheck inData;  // with no path: no such folder is known
    if (!userDataFolder.isEmpty()) {
        const QString notMade = MakeFolder(dataFolder);
        inData = notMade.isEmpty()
                     ? CheckCopyFile(dataFolder, dataPath)
                     : CopyFileCheck{Fit::Unwritable, SystemProblem(dataPath, notMade)};
    }
    if (inData.fit != Fit::Unwritable) return {dataFolder, true, inApp.problem, {}};
    return {{}, false, inApp.problem, inData.problem};
}

LogCopyResult AppendLogCopy(const QString& folder, const QString& logText, LogKind kind,
                            const QDate& today, const QLocale& locale,
                            std::chrono::milliseconds wait) {
    // The whole block goes out in one append so that a failure can be undone by cutting the
    // file back to its former length; line by line writing could leave half a block behind.
    QString block = HeaderText(kind) + locale.toString(today, ShortDateFormatWithFullYear(locale));
    block += kLineEnd;
    for (const QString& line : DatedLogLines(logText)) {
        block += line;
        block += kLineEnd;
    }
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = encoder.encode(block);

    const QString path = folder + QLatin1String(kLogCopyFileName);
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    if (::stat(native.constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return {false, NotRegularProblem(path, status.st_mode)};
    // Something may take the file's place after the look above. O_NONBLOCK makes opening a pipe
    // fail at once instead of waiting for a reader, and fstat() on what was opened has the last
    // word; on a regular file the flag changes nothing.
    FileHandle file(::open(native.constData(),
                           O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                           0666));
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0)
        return {false, SystemProblem(path, qt_error_string(errno))};
    if (!S_ISREG(status.st_mode)) return {false, NotRegularProblem(path, status.st_mode)};

    // Two windows may copy at once. Each appends under an exclusive lock on the file itself, so
    // that one whose append fails cuts the file back over its own block, never over a block that
    // the other appended meanwhile. The system drops the lock with its holder: a window that
    // crashed holds nothing. A second handle keeps the lock while the first is closed, since
    // closing can still report a failed write (on a network file system).
    const int locked = LockWithin(file.fd, wait);
    if (locked == EWOULDBLOCK) return {false, {path, {}, std::nullopt, true}};
    if (locked != 0) return {false, SystemProblem(path, qt_error_string(locked))};
    const FileHandle lock(::fcntl(file.fd, F_DUPFD_CLOEXEC, 0));
    if (lock.fd < 0 || ::fstat(file.fd, &status) != 0)
        return {false, SystemProblem(path, qt_error_string(errno))};
    const off_t sizeBefore = status.st_size;

    // A short write (a disk filling up) is followed by another attempt, which fails with the
    // system's reason for the sentence to the user.
    qint64 written = 0;
    int error = 0;
    while (written < bytes.size() && error == 0) {
        const ssize_t n =
            ::write(file.fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n > 0)
            written += n;
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? ENOSPC : errno;
    }
    if (::close(std::exchange(file.fd, -1)) != 0 && error == 0) error = errno;
    if (error == 0) return {true, {}};
    // A program that appends without the lock may have written after this block; then the block
    // stays rather than take that program's lines with it.
    if (::fstat(lock.fd, &status) == 0 && status.st_size == sizeBefore + written)
        std::ignore = ::ftruncate(lock.fd, sizeBefore);
    return {false, SystemProblem(path, qt_error_string(error))};
}

}  // namespace quorvane
