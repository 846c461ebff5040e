#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "log_copy_file.h"

using quorvane::LogKind;

namespace {

const QByteArray kSystemHeader = "Router log saved on 4/12/2007\r\n";

quorvane::LogCopyResult Copy(const QString& folder, const QString& text,
                             LogKind kind = LogKind::System, const char* locale = "en_US") {
    return quorvane::AppendLogCopy(folder, text, kind, QDate(2007, 4, 12), QLocale(locale));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
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
        QVERIFY2(result.ok, qPrintable(result.error));
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
        QVERIFY2(result.ok, qPrintable(result.error));
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
        QTest::newRow("copy file is a folder") << "folder"
                                               << "directory";
        QTest::newRow("disk full") << "/dev/full"
                                   << "No space left on device";
        QTest::newRow("missing folder") << "missing"
                                        << "No such file or directory";
        QTest::newRow("read-only file") << "read-only"
                                        << "Permission denied";
        // Lets part of the block reach the file before the write fails, as a disk that fills
        // up midway would, without needing a small file system.
        QTest::newRow("file size limit reached midway") << "limit"
                                                        << "File too large";
    }
    void failureLeavesFileUnchanged() {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString folder = dir.path() + '/';
        const QString path = folder + "syslog.txt";
        const QByteArray before(100, 'b');
        if (setup == "read-only" || setup == "limit") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        }
        if (setup == "folder") QVERIFY(QDir(folder).mkdir("syslog.txt"));
        if (setup == "/dev/full") QVERIFY(QFile::link(setup, path));
        if (setup == "missing") folder += "gone/";
        if (setup == "read-only") {
            if (geteuid() == 0) QSKIP("permissions do not stop root from writing");
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        }
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        if (setup == "limit") limited.rlim_cur = before.size() + 20;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const auto result = Copy(folder, "04/12/2007 " + QString(200, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!result.ok);
        const QString sentence = "The log could not be copied to " + folder + "syslog.txt: ";
        QVERIFY2(result.error.startsWith(sentence), qPrintable(result.error));
        QVERIFY2(result.error.contains(reason, Qt::CaseInsensitive), qPrintable(result.error));
        if (setup == "read-only" || setup == "limit") QCOMPARE(ReadFile(path), before);
    }
};

QTEST_GUILESS_MAIN(TestLogCopyFile)
#include "tst_log_copy_file.moc"
