#include "log_copy_file.h"

#include "log_text.h"

#include <QByteArray>
#include <QFile>
#include <QStringEncoder>
#include <QStringView>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

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
    struct stat status {};
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
                            const QDate& today, const QLocale& locale) {
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
    struct stat status {};
    if (::stat(native.constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return {false, NotRegularProblem(path, status.st_mode)};
    // Something may take the file's place after the look above. O_NONBLOCK makes opening a pipe
    // fail at once instead of waiting for a reader, and fstat() on what was opened has the last
    // word; on a regular file the flag changes nothing.
    const int fd = ::open(native.constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return {false, SystemProblem(path, qt_error_string(errno))};
    const bool looked = ::fstat(fd, &status) == 0;
    if (!looked || !S_ISREG(status.st_mode)) {
        const CopyFileProblem problem = looked ? NotRegularProblem(path, status.st_mode)
                                               : SystemProblem(path, qt_error_string(errno));
        ::close(fd);
        return {false, problem};
    }
    QFile file;
    // Unbuffered, so that a full disk is reported by write() itself and not later by close().
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        const QString reason = file.errorString();
        ::close(fd);
        return {false, SystemProblem(path, reason)};
    }
    const qint64 sizeBefore = file.size();

    // A short write (a disk filling up) is followed by another attempt, which fails with the
    // system's reason for the sentence to the user.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) break;
        written += n;
    }
    bool ok = written == bytes.size() && file.flush();
    QString reason = ok ? QString() : file.errorString();
    if (!ok) file.resize(sizeBefore);

    file.close();
    if (ok && file.error() != QFileDevice::NoError) {
        ok = false;
        reason = file.errorString();
        QFile::resize(path, sizeBefore);
    }
    if (!ok) return {false, SystemProblem(path, reason)};
    return {true, {}};
}

}  // namespace quorvane
