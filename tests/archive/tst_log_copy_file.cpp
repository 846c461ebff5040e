#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>

#include "log_copy_file.h"
#include "result_sentences.h"

using namespace quorvane;

namespace {

const QByteArray kSystemHeader = "Router log saved on 4/12/2007\r\n";

quorvane::LogCopyResult Copy(const QString& folder, const QString& text,
                             LogKind kind = LogKind::System, const char* locale = "en_US") {
    return quorvane::AppendLogCopy(folder, text, kind, QDate(2007, 4, 12), QLocale(locale));
}

// Another window: a process that appends `blocks` copies and ends with the count that failed.
pid_t AppendElsewhere(const QString& folder, int blocks) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    int failed = 0;
    for (int i = 0; i < blocks; ++i) failed += !Copy(folder, "04/12/2007 b").ok;
    ::_exit(std::min(failed, 255));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Root writes wherever it likes, so a folder that a user cannot write is only one for someone
// else: as root, `work` runs in a child process as the user "nobody", and the folders it should
// be able to write are given to that user. Its result comes back as text.
class OrdinaryUser {
public:
    OrdinaryUser() {
        if (const passwd* nobody = getpwnam("nobody"))
            m_uid = nobody->pw_uid, m_gid = nobody->pw_gid;
    }

    // Lets the user write `path`.
    bool give(const QString& path) const {
        return !asRoot() || ::chown(QFile::encodeName(path).constData(), m_uid, m_gid) == 0;
    }
    // Keeps the user from writing in `folder`; as root, a folder of root's is that already.
    bool lock(const QString& folder) const {
        return asRoot() || QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }

    QString run(const std::function<QString()>& work) const {
        if (!asRoot()) return work();
        int channel[2];
        if (::pipe(channel) != 0) return QStringLiteral("<no pipe>");
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(channel[0]);
            int status = 1;
            if (::setgroups(0, nullptr) == 0 && ::setgid(m_gid) == 0 && ::setuid(m_uid) == 0) {
                const QByteArray result = work().toUtf8();
                status =
                    ::write(channel[1], result.constData(), result.size()) == result.size() ? 0 : 1;
            }
            ::_exit(status);
        }
        ::close(channel[1]);
        QByteArray result;
        char buffer[4096];
        for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
            result.append(buffer, n);
        ::close(channel[0]);
        int status = -1;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return QStringLiteral("<child failed>");
        return QString::fromUtf8(result);
    }

private:
    static bool asRoot() { return ::geteuid() == 0; }

    uid_t m_uid = 65534;
    gid_t m_gid = 65534;
};

// Binds a Unix domain socket at `path`, which leaves a socket file there.
bool MakeSocket(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    if (native.size() >= qsizetype(sizeof address.sun_path)) return false;
    std::memcpy(address.sun_path, native.constData(), native.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return bound;
}

}  // namespace

class TestLogCopyFile : public QObject {
    Q_OBJECT

private slots:
    void headerFollowsLocale_data() {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<LogKind>("kind");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("en_US") << QByteArray("en_US") << LogKind::System << kSystemHeader;
        QTest::newRow("en_US security") << QByteArray("en_US") << LogKind::Security
                                        << QByteArray("Router security log saved on 4/12/2007\r\n");
        QTest::newRow("de_DE two-digit year widened")
            << QByteArray("de_DE") << LogKind::System
            << QByteArray("Router log saved on 12.04.2007\r\n");
        QTest::newRow("en_GB") << QByteArray("en_GB") << LogKind::System
                               << QByteArray("Router log saved on 12/04/2007\r\n");
    }
    void headerFollowsLocale() {
        QFETCH(QByteArray, locale);
        QFETCH(LogKind, kind);
        QFETCH(QByteArray, header);
        QTemporaryDir dir;
        const auto result = Copy(dir.path() + '/', QString(), kind, locale.constData());
        QVERIFY2(result.ok, qPrintable(CopyFailureSentence(result.problem)));
        QCOMPARE(ReadFile(dir.filePath("syslog.txt")), header);
    }

    void copiesDatedLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("no slash") << "System Log\r\nnothing dated\r\n" << QByteArray();
        QTest::newRow("title, dated, empty, dated")
            << "System Log\r\n04/11/2007 10:00:00  a\r\n\r\n04/12/2007 11:00:00  b"
            << QByteArray("04/11/2007 10:00:00  a\r\n04/12/2007 11:00:00  b\r\n");
        QTest::newRow("path") << "see /doc/syslog.htm\r\n" << QByteArray("see /doc/syslog.htm\r\n");
        QTest::newRow("blanks kept") << "  04/12/2007 x \t" << QByteArray("  04/12/2007 x \t\r\n");
        QTest::newRow("lone CR and LF stay inside") << "a/b\rc\nd\r\nno\rslash\nhere\r\n\rx/\r\r\n"
                                                    << QByteArray("a/b\rc\nd\r\n\rx/\r\r\n");
        QTest::newRow("non-ASCII in UTF-8") << QStringLiteral("04/12/2007 Grüße")
                                            << QByteArray(
                                                   "04/12/2007 Gr\xc3\xbc\xc3\x9f"
                                                   "e\r\n");
    }
    void copiesDatedLines() {
        QFETCH(QString, text);
        QFETCH(QByteArray, lines);
        QTemporaryDir dir;
        const auto result = Copy(dir.path() + '/', text);
        QVERIFY2(result.ok, qPrintable(CopyFailureSentence(result.problem)));
        QCOMPARE(ReadFile(dir.filePath("syslog.txt")), kSystemHeader + lines);
    }

    void appendsBlocksAfterExistingContent() {
        QTemporaryDir dir;
        const QString folder = dir.path() + '/';
        QFile earlier(folder + "syslog.txt");
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("kept\r\n") == 6);
        earlier.close();
        QVERIFY(Copy(folder, "01/01/2007 one").ok);
        QVERIFY(Copy(folder, "01/01/2007 two", LogKind::Security).ok);
        QVERIFY(Copy(folder, "01/01/2007 three").ok);
        QCOMPARE(ReadFile(folder + "syslog.txt"),
                 "kept\r\n" + kSystemHeader + "01/01/2007 one\r\n" +
                     "Router security log saved on 4/12/2007\r\n01/01/2007 two\r\n" +
                     kSystemHeader + "01/01/2007 three\r\n");
    }

    void failureLeavesFileUnchanged_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        // None of these may be opened for writing: a pipe would hold the window until someone
        // reads, and a device takes the bytes without keeping them.
        QTest::newRow("copy file is a folder") << "folder"
                                               << "it is a directory, not a regular file";
        QTest::newRow("copy file is a device") << "/dev/full"
                                               << "it is a character device, not a regular file";
        QTest::newRow("named pipe without a reader") << "pipe"
                                                     << "it is a named pipe, not a regular file";
        QTest::newRow("named pipe being read") << "pipe with reader"
                                               << "it is a named pipe, not a regular file";
        QTest::newRow("socket") << "socket"
                                << "it is a socket, not a regular file";
        QTest::newRow("missing folder") << "missing"
                                        << "No such file or directory";
        QTest::newRow("read-only file") << "read-only"
                                        << "Permission denied";
        // Lets part of the block reach the file before the write fails, as a disk that fills
        // up midway would, without needing a small file system.
        QTest::newRow("file size limit reached midway") << "limit"
                                                        << "File too large";
        // Each of the other's blocks stays whole; only this window's own is cut away.
        QTest::newRow("limit reached while another window appends") << "limit, other appends"
                                                                    << "File too large";
        QTest::newRow("held by another window") << "held"
                                                << "another window or program kept it in use";
    }
    void failureLeavesFileUnchanged() {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString folder = dir.path() + '/';
        const QString path = folder + "syslog.txt";
        const QByteArray before(100, 'b');
        const bool kept = setup == "read-only" || setup.startsWith("limit") || setup == "held";
        if (kept) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        }
        if (setup == "folder") QVERIFY(QDir(folder).mkdir("syslog.txt"));
        if (setup == "/dev/full") QVERIFY(QFile::link(setup, path));
        if (setup.startsWith("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        const int reader = setup == "pipe with reader"
                               ? ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK)
                               : -1;
        if (setup == "pipe with reader") QVERIFY(reader >= 0);
        if (setup == "socket") QVERIFY(MakeSocket(path));
        const int holder = setup == "held" ? ::open(QFile::encodeName(path), O_RDONLY) : -1;
        if (setup == "held") QCOMPARE(::flock(holder, LOCK_EX), 0);
        const pid_t other = setup == "limit, other appends" ? AppendElsewhere(folder, 300) : 0;
        if (setup == "missing") folder += "gone/";
        if (setup == "read-only") {
            if (geteuid() == 0) QSKIP("permissions do not stop root from writing");
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        }
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        if (setup.startsWith("limit")) limited.rlim_cur = before.size() + 20;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const auto copy = [&] { return Copy(folder, "04/12/2007 " + QString(200, 'x')); };
        int status = -1;
        while (other > 0 && ::waitpid(other, &status, WNOHANG) == 0) copy();
        const auto result = copy();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        if (holder >= 0) ::close(holder);

        QVERIFY(!result.ok);
        const QString sentence = "The log could not be copied to " + folder + "syslog.txt: ";
        const QString error = CopyFailureSentence(result.problem);
        QVERIFY2(error.startsWith(sentence), qPrintable(error));
        QVERIFY2(error.contains(reason, Qt::CaseInsensitive), qPrintable(error));
        const QByteArray others = (kSystemHeader + "04/12/2007 b\r\n").repeated(other ? 300 : 0);
        if (kept) QCOMPARE(ReadFile(path), before + others);
        if (other) QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the other failed");
        if (reader >= 0) {
            char byte = 0;
            const ssize_t n = ::read(reader, &byte, 1);
            ::close(reader);
            QVERIFY2(n <= 0, "something was written into the pipe");
        }
    }

    // The copy stays in the program's folder whenever it can be written there, and otherwise goes
    // to the user's data folder, made when missing. "locked": the user may not write the folder.
    void copyGoesWhereItCanBeWritten_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("dataWritable");
        QTest::addColumn<QString>("where");  // program, data or none
        QTest::newRow("program folder writable") << "writable" << true << "program";
        QTest::newRow("program folder locked") << "locked" << true << "data";
        QTest::newRow("program folder locked, its copy file writable")
            << "locked, copy file writable" << true << "program";
        QTest::newRow("program folder's path is a file") << "a file" << true << "data";
        // Said as a failure there, rather than passed over for another place.
        QTest::newRow("named pipe in program folder") << "named pipe" << true << "program";
        QTest::newRow("neither writable") << "locked" << false << "none";
    }
    void copyGoesWhereItCanBeWritten() {
        QFETCH(QString, program);
        QFETCH(bool, dataWritable);
        QFETCH(QString, where);
        const OrdinaryUser user;
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
        QString programFolder = dir.filePath("bin") + '/';
        QVERIFY(QDir(dir.path()).mkdir("bin") && QDir(dir.path()).mkdir("home"));
        QVERIFY(user.give(dir.filePath("home")));
        QString dataFolder = dir.filePath("home/.local/share/Quorvane");
        QFile blocker(dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        if (!dataWritable) dataFolder = blocker.fileName() + "/share/Quorvane";

        if (program == "writable" || program == "named pipe") QVERIFY(user.give(programFolder));
        if (program == "named pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(programFolder + "syslog.txt").constData(), 0666),
                     0);
        if (program == "locked, copy file writable") {
            QFile copy(programFolder + "syslog.txt");
            QVERIFY(copy.open(QIODevice::WriteOnly));
            copy.close();
            QVERIFY(user.give(copy.fileName()));
        }
        if (program.startsWith("locked")) QVERIFY(user.lock(programFolder));
        if (program == "a file") programFolder = blocker.fileName() + '/';

        const QStringList result =
            user.run([&] {
                    const quorvane::LogCopyPlace place =
                        quorvane::ResolveLogCopyFolder(programFolder, dataFolder);
                    if (place.folder.isEmpty())
                        return QStringList{"none", "0", NoCopyPlaceSentence(place)}.join('\n');
                    const QString label = place.folder == programFolder      ? "program"
                                          : place.folder == dataFolder + '/' ? "data"
                                                                             : place.folder;
                    const auto copy = Copy(place.folder, "04/12/2007 kept");
                    return QStringList{
                        label, QString::number(place.fellBack),
                        copy.ok ? CopyFallbackNotice(place) : CopyFailureSentence(copy.problem)}
                        .join('\n');
                })
                .split('\n');
        QFile::setPermissions(programFolder,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(result.size(), 3);
        const QString& said = result.at(2);
        QCOMPARE(result.at(0), where);
        QCOMPARE(result.at(1), where == "data" ? "1" : "0");

        const QByteArray copied = kSystemHeader + "04/12/2007 kept\r\n";
        if (where == "data") {
            QVERIFY2(said.startsWith(programFolder + "syslog.txt cannot be written (") &&
                         said.endsWith("), so the log is copied to " + dataFolder + "/syslog.txt."),
                     qPrintable(said));
            QCOMPARE(ReadFile(dataFolder + "/syslog.txt"), copied);
        } else if (where == "none") {
            QVERIFY2(said.startsWith("The log could not be copied to " + programFolder +
                                     "syslog.txt (") &&
                         said.contains(" nor to " + dataFolder + "/syslog.txt ("),
                     qPrintable(said));
        } else {
            QVERIFY2(!QFileInfo::exists(dir.filePath("home/.local")), "made a data folder");
            if (program == "named pipe")
                QVERIFY2(said.endsWith("it is a named pipe, not a regular file."),
                         qPrintable(said));
            else
                QCOMPARE(ReadFile(programFolder + "syslog.txt"), copied);
        }
    }
};

QTEST_GUILESS_MAIN(TestLogCopyFile)
#include "tst_log_copy_file.moc"
