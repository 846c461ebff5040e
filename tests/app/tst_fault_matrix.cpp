#include "closed_port.h"
#include "window_driver.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

using routersim::Fault;

namespace {

const QString kPassword = QStringLiteral("demo");

}  // namespace

// Whatever the router, the network or the disk does, the window says what happened, copies only
// a log it has read, clears the router's log only once it is safely copied, and answers the next
// press normally.
class TestFaultMatrix : public QObject {
    Q_OBJECT

    WindowDriver window_;

    // After a fault, the same window reads a healthy router as if nothing had happened.
    void expectNextPressWorks(routersim::RouterSim& sim) {
        sim.setFault(Fault::None);
        window_.typeLogin(sim, kPassword);
        window_.tick("Check1", Qt::Unchecked);
        window_.tick("Check2", Qt::Unchecked);
        QVERIFY(window_.press("Command1"));
        QCOMPARE(window_.text("txtWANIP"), ValueAfter(sim.systemLog(), "WAN IP is "));
        QCOMPARE(window_.text("txtLog"), NewestFirst(sim.systemLog(), "Firewall:"));
    }

private slots:
    void init() {
        QVERIFY(window_.open());
        window_.tick("Check1");
        window_.tick("Check2");
    }
    void cleanup() { window_.close(); }

    void routerFaults_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("says");  // empty: the log is read and analysed
        QTest::addColumn<int>("timeoutMs");
        const int normal = WindowDriver::kWaitMs;
        QTest::newRow("401 wrong password") << Fault::None << "wrong"
                                            << "refused the password (HTTP 401" << normal;
        QTest::newRow("403") << Fault::Status403 << kPassword << "(HTTP 403" << normal;
        QTest::newRow("404") << Fault::Status404 << kPassword << "(HTTP 404" << normal;
        QTest::newRow("500") << Fault::Status500 << kPassword << "(HTTP 500" << normal;
        QTest::newRow("cut body") << Fault::CutBody << kPassword << "could not be read" << normal;
        QTest::newRow("huge body")
            << Fault::HugeBody << kPassword << "larger than 32 MiB" << normal;
        QTest::newRow("never answers")
            << Fault::NeverAnswer << kPassword << "did not answer within 30 seconds" << 45'000;
        QTest::newRow("slow body") << Fault::SlowBody << kPassword << "" << normal;
        QTest::newRow("same-origin redirect")
            << Fault::RedirectSameOrigin << kPassword << "" << normal;
        QTest::newRow("unknown charset") << Fault::UnknownCharset << kPassword << "" << normal;
        QTest::newRow("markers in markup") << Fault::MarkersInMarkup << kPassword << "" << normal;
        QTest::newRow("100,000 nested elements")
            << Fault::DeepNesting << kPassword << "" << 120'000;
    }
    void routerFaults() {
        QFETCH(Fault, fault);
        QFETCH(QString, password);
        QFETCH(QString, says);
        QFETCH(int, timeoutMs);
        routersim::RouterSim sim({.password = kPassword.toStdString(), .fault = fault});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        window_.typeLogin(sim, password);
        QVERIFY(window_.press("Command1", timeoutMs));
        qInfo("%s", qPrintable(window_.text("txtLog").section(u'\n', 0, 0)));

        const bool read = says.isEmpty();
        QCOMPARE(!window_.copyFile().isEmpty(), read);
        if (read) {
            QCOMPARE(sim.clearsPerformed(), 1);
            QCOMPARE(window_.text("txtWANIP"), ValueAfter(log, "WAN IP is "));
            QCOMPARE(window_.text("txtLog"), NewestFirst(log, "Firewall:"));
        } else {
            QCOMPARE(sim.clearRequestCount(), 0);
            QVERIFY2(window_.text("txtLog").contains(says), qPrintable(window_.text("txtLog")));
            QCOMPARE(window_.text("txtWANIP"), QString());
        }
        sim.setSystemLog(log);
        expectNextPressWorks(sim);
    }

    // Pages that are answered as pages but hold no dated line: read and copied, and the router's
    // log is left alone, since nothing of it could be kept.
    void oddPagesAreReadSafely_data() {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("empty page") << Fault::EmptyPage;
        QTest::newRow("binary, NUL bytes, invalid UTF-8") << Fault::BinaryBody;
    }
    void oddPagesAreReadSafely() {
        QFETCH(Fault, fault);
        routersim::RouterSim sim({.password = kPassword.toStdString(), .fault = fault});
        QVERIFY(sim.start());
        window_.typeLogin(sim, kPassword);
        QVERIFY(window_.press("Command1"));
        QCOMPARE(window_.text("txtWANIP"), QStringLiteral("Not found"));
        QCOMPARE(window_.text("txtLog"),
                 QStringLiteral("The page held no dated log line, so the router's log was not "
                                "cleared.\nNo attacks found."));
        QVERIFY(window_.copyFile().startsWith("Router log saved on "));
        QCOMPARE(sim.clearRequestCount(), 0);
        sim.setSystemLog(routersim::makeSystemLog(std::chrono::system_clock::now(), 5));
        expectNextPressWorks(sim);
    }

    void unreachableRouters_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("says");
        QTest::newRow("connection refused")
            << "127.0.0.1" << ClosedPort() << "refused the connection";
        QTest::newRow("unknown host") << "no-such-router.invalid" << 80 << "could not be";
    }
    void unreachableRouters() {
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(QString, says);
        window_.control<QLineEdit>("txtPass")->setText(kPassword);
        window_.control<QLineEdit>("txtIP")->setText(address);
        window_.control<QLineEdit>("txtPort")->setText(QString::number(port));
        QVERIFY(window_.press("Command1", 45'000));
        QVERIFY2(window_.text("txtLog").contains(says), qPrintable(window_.text("txtLog")));
        QVERIFY(window_.copyFile().isEmpty());
        routersim::RouterSim sim({.password = kPassword.toStdString()});
        QVERIFY(sim.start());
        expectNextPressWorks(sim);
    }

    void redirectElsewhereGetsNoCredentials() {
        routersim::RouterSim target({.password = kPassword.toStdString()});
        QVERIFY(target.start("127.0.0.2") || target.start("127.0.0.1"));
        routersim::RouterSim sim(
            {.password = kPassword.toStdString(),
             .fault = Fault::RedirectOtherHost,
             .redirectTarget = "http://" + target.host() + ":" + std::to_string(target.port())});
        QVERIFY(sim.start());
        window_.typeLogin(sim, kPassword);
        QVERIFY(window_.press("Command1"));
        QVERIFY2(window_.text("txtLog").contains(QStringLiteral("another address")),
                 qPrintable(window_.text("txtLog")));
        QVERIFY(target.requests().empty());
        QCOMPARE(sim.clearRequestCount() + target.clearRequestCount(), 0);
        QVERIFY(window_.copyFile().isEmpty());
    }

    void diskFaults_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("copy file is a folder") << "folder"
                                               << "it is a directory";
        // The copy file may grow only so far, as if the disk filled up during the copy.
        QTest::newRow("disk full") << "full"
                                   << "File too large";
        QTest::newRow("copy file is a device") << "device"
                                               << "it is a character device";
        QTest::newRow("named pipe without a reader") << "pipe"
                                                     << "it is a named pipe";
        QTest::newRow("named pipe being read") << "pipe with reader"
                                               << "it is a named pipe";
        QTest::newRow("no folder can be written") << "no folder"
                                                  << " nor to ";
    }
    void diskFaults() {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        const QString path = window_.copyFilePath();
        const QByteArray before(100, 'b');
        int reader = -1;
        const auto restore = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
        if (setup == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(path));
        } else if (setup == QLatin1String("full")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        } else if (setup == QLatin1String("device")) {
            if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
        } else if (setup.startsWith(QLatin1String("pipe"))) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            if (setup.endsWith(QLatin1String("reader"))) {
                reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
                QVERIFY(reader >= 0);
            }
        } else {
            // Paths that lead through a file: neither the program's folder nor the user's data
            // folder can be made or written, whoever runs the test.
            QFile file(window_.appDir.filePath(QStringLiteral("program")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            qputenv("XDG_DATA_HOME", QFile::encodeName(file.fileName()));
            QVERIFY(window_.open(file.fileName()));
            window_.tick("Check1");
            window_.tick("Check2");
        }
        routersim::RouterSim sim({.password = kPassword.toStdString()});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        window_.typeLogin(sim, kPassword);

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        if (setup == QLatin1String("full")) limited.rlim_cur = before.size() + 200;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool pressed = window_.press("Command1");
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(pressed);

        const QString first = window_.text("txtLog").section(u'\n', 0, 0);
        QVERIFY2(first.contains(QStringLiteral("could not be copied")), qPrintable(first));
        QVERIFY2(first.contains(reason), qPrintable(first));
        QVERIFY(first.contains(QStringLiteral("not cleared")));
        QCOMPARE(sim.clearRequestCount(), 0);
        QCOMPARE(sim.systemLog(), log);
        QCOMPARE(window_.text("txtWANIP"), ValueAfter(log, "WAN IP is "));
        if (setup == QLatin1String("full")) QCOMPARE(window_.copyFile(), before);
        if (reader >= 0) {
            char byte = 0;
            const ssize_t n = ::read(reader, &byte, 1);
            ::close(reader);
            QVERIFY2(n <= 0, "something was written into the pipe");
        }
        QFile::remove(path);
        QDir(path).removeRecursively();
    }

    void largeLogOfFirewallLines() {
        std::string log;
        const std::string line =
            "12/06/2026 10:00:01  Firewall: TCP packet dropped from "
            "198.51.100.9:4455 to 203.0.113.7:23\n";
        while (log.size() < (16u << 20) - line.size()) log += line;
        routersim::RouterSim sim({.password = kPassword.toStdString()});
        QVERIFY(sim.start());
        sim.setSystemLog(log);
        window_.typeLogin(sim, kPassword);
        window_.tick("Check2", Qt::Unchecked);
        QVERIFY(window_.press("Command1", 120'000));
        const auto* box = window_.control<QPlainTextEdit>("txtLog");
        QVERIFY2(box->document()->blockCount() > 1, qPrintable(window_.text("txtLog")));
        QCOMPARE(box->document()->blockCount() - 1, qsizetype(log.size() / line.size()));
        QVERIFY(window_.copyFile().size() > qsizetype(log.size()));
    }

    void closingTheWindowDuringAFetch() {
        routersim::RouterSim sim({.password = kPassword.toStdString(), .fault = Fault::SlowBody});
        QVERIFY(sim.start());
        window_.typeLogin(sim, kPassword);
        QTest::mouseClick(window_.control("Command1"), Qt::LeftButton);
        QTest::qWait(100);
        window_.form->close();
        window_.form.reset();
        QTest::qWait(500);  // whatever the transfer does now reaches no window
        QCOMPARE(sim.clearRequestCount(), 0);
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "tst_fault_matrix.moc"
