#include "closed_port.h"
#include "process_tree.h"
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

// Short enough that no row waits long, long enough for every healthy page on a loaded machine.
quorvane::NavigationLimits MatrixLimits(int pageDeadlineMs = 30'000) {
    quorvane::NavigationLimits limits;
    limits.pageDeadlineMs = pageDeadlineMs;
    limits.fetch.idleTimeoutMs = 2'000;
    return limits;
}

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
        window_.setLimits(MatrixLimits());
        window_.tick("Check1");
        window_.tick("Check2");
    }
    void cleanup() { window_.close(); }

    void routerFaults_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("says");  // empty: the log is read and analysed
        QTest::addColumn<int>("deadlineMs");
        const int normal = MatrixLimits().pageDeadlineMs;
        QTest::newRow("401 wrong password") << Fault::None << "wrong"
                                            << "refused the password (HTTP 401" << normal;
        QTest::newRow("403") << Fault::Status403 << kPassword << "(HTTP 403" << normal;
        QTest::newRow("404") << Fault::Status404 << kPassword << "(HTTP 404" << normal;
        QTest::newRow("500") << Fault::Status500 << kPassword << "(HTTP 500" << normal;
        QTest::newRow("500 with a reason phrase of 1 MiB")
            << Fault::LongReason << kPassword << "of headers" << normal;
        QTest::newRow("204") << Fault::Status204 << kPassword << "status 204" << normal;
        QTest::newRow("304") << Fault::Status304 << kPassword << "status 304" << normal;
        QTest::newRow("3xx without Location")
            << Fault::RedirectWithoutLocation << kPassword << "without a usable address" << normal;
        QTest::newRow("gzip body never asked for")
            << Fault::GzipBody << kPassword << "compressed (gzip)" << normal;
        QTest::newRow("binary body") << Fault::BinaryBody << kPassword << "binary data" << normal;
        QTest::newRow("octet-stream")
            << Fault::OctetStream << kPassword << "other than a web page" << normal;
        QTest::newRow("redirect to the login page")
            << Fault::RedirectToLogin << kPassword << "a login page instead of its log (/login.htm)"
            << normal;
        QTest::newRow("redirect to the other log")
            << Fault::RedirectOtherLog << kPassword
            << "another page instead of its log (/doc/seclog.htm)" << normal;
        QTest::newRow("redirect to neither log")
            << Fault::RedirectElsewhere << kPassword << "another page instead of its log" << normal;
        QTest::newRow("not HTTP") << Fault::NotHttp << kPassword << "not an HTTP answer" << normal;
        QTest::newRow("header flood") << Fault::HeaderFlood << kPassword << "of headers" << normal;
        QTest::newRow("cut body") << Fault::CutBody << kPassword << "before the page was complete"
                                  << normal;
        QTest::newRow("huge body")
            << Fault::HugeBody << kPassword << "larger than 32 MiB" << normal;
        QTest::newRow("never answers")
            << Fault::NeverAnswer << kPassword << "did not answer within 2 seconds" << normal;
        QTest::newRow("trickle") << Fault::Trickle << kPassword << "took longer than 3 seconds"
                                 << 3'000;
        QTest::newRow("slow body") << Fault::SlowBody << kPassword << "" << normal;
        QTest::newRow("103 Early Hints, then the page")
            << Fault::EarlyHints << kPassword << "" << normal;
        QTest::newRow("log as plain text") << Fault::PlainText << kPassword << "" << normal;
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
        QFETCH(int, deadlineMs);
        routersim::RouterSim sim({.password = kPassword.toStdString(),
                                  .fault = fault,
                                  .trickleInterval = std::chrono::milliseconds(100)});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        window_.setLimits(MatrixLimits(deadlineMs));
        window_.typeLogin(sim, password);
        QVERIFY(window_.press("Command1", deadlineMs + WindowDriver::kWaitMs));
        qInfo("%s", qPrintable(window_.text("txtLog").section(u'\n', 0, 0)));

        const bool read = says.isEmpty();
        QCOMPARE(!window_.copyFile().isEmpty(), read);
        if (read) {
            QCOMPARE(sim.clearsPerformed(), 1);
            QCOMPARE(window_.text("txtWANIP"), ValueAfter(log, "WAN IP is "));
            QCOMPARE(window_.text("txtLog"), NewestFirst(log, "Firewall:"));
        } else {
            QCOMPARE(sim.clearRequestCount(), 0);
            const QString shown = window_.text("txtLog");
            QVERIFY2(shown.contains(says), qPrintable(shown));
            // Whatever the router sent, the window says it in a short sentence.
            QVERIFY2(shown.size() < 400, qPrintable(shown));
            QCOMPARE(window_.text("txtWANIP"), QString());
        }
        sim.setSystemLog(log);
        expectNextPressWorks(sim);
    }

    // A page that holds no dated line is read and copied, and the router's log is left alone,
    // since nothing of it could be kept.
    void emptyPageIsNotCleared() {
        routersim::RouterSim sim({.password = kPassword.toStdString(), .fault = Fault::EmptyPage});
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

    // The clear request goes to the router whose log was read, whatever the boxes say by the
    // time the page arrives.
    void clearGoesToTheRouterThatWasRead() {
        routersim::RouterSim read({.password = kPassword.toStdString(), .fault = Fault::SlowBody});
        QVERIFY(read.start());
        routersim::RouterSim other({.password = kPassword.toStdString()});
        QVERIFY(other.start());
        window_.typeLogin(read, kPassword);
        QTest::mouseClick(window_.control("Command1"), Qt::LeftButton);
        window_.control<QLineEdit>("txtPort")->setText(QString::number(other.port()));
        window_.control<QLineEdit>("txtPass")->setText(QStringLiteral("typed later"));
        QVERIFY(WaitUntil([this] { return !window_.busy(); }, WindowDriver::kWaitMs));
        QCOMPARE(read.clearsPerformed(), 1);
        QVERIFY(other.requests().empty());
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
        // A page without style or script: the static reader's child process takes the file size
        // limit in its stride, where the web engine's shared memory would not.
        routersim::RouterSim sim({.password = kPassword.toStdString(), .plainMarkup = true});
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

    // Closing the window drops the transfer at once: the router sees the connection go long
    // before its page would be complete, and no clear request follows.
    void closingTheWindowDuringAFetch() {
        routersim::RouterSim sim({.password = kPassword.toStdString(), .fault = Fault::SlowBody});
        QVERIFY(sim.start());
        window_.typeLogin(sim, kPassword);
        QTest::mouseClick(window_.control("Command1"), Qt::LeftButton);
        QVERIFY(WaitUntil([&] { return sim.streamsInProgress() == 1; }, WindowDriver::kWaitMs));
        window_.form->close();
        window_.form.reset();
        QVERIFY(WaitUntil([&] { return sim.streamsInProgress() == 0; }, 1'000));
        QCOMPARE(sim.clearRequestCount(), 0);
    }

    // Markup built to make a parser slow or hungry, without scripts or styles that would send it
    // to the engine: each page ends in its result or "too complex" within the reader's limits,
    // and the next press works at once.
    void hostilePagesAreBounded_data() {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("nested div") << Fault::HostileDivNesting;
        QTest::newRow("nested ul li") << Fault::HostileListNesting;
        QTest::newRow("nested b id") << Fault::HostileBoldNesting;
        QTest::newRow("many attributes") << Fault::HostileAttributes;
        QTest::newRow("one long attribute") << Fault::HostileLongAttribute;
        QTest::newRow("a div misnesting") << Fault::HostileAnchorDiv;
        QTest::newRow("nested div p") << Fault::HostileDivParagraph;
        QTest::newRow("p b id, memory") << Fault::HostileParagraphBold;
    }
    void hostilePagesAreBounded() {
        QFETCH(Fault, fault);
        quorvane::NavigationLimits limits = MatrixLimits();
        limits.reader.cpuSeconds = 1;
        limits.reader.memoryBytes = 256ll << 20;
        window_.setLimits(limits);
        routersim::RouterSim sim(
            {.password = kPassword.toStdString(), .fault = fault, .plainMarkup = true});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        window_.typeLogin(sim, kPassword);
        QVERIFY(window_.press("Command1", limits.pageDeadlineMs + WindowDriver::kWaitMs));
        const QString shown = window_.text("txtLog");
        qInfo("%s", qPrintable(shown.section(u'\n', 0, 0)));
        if (shown.contains(QStringLiteral("too complex"))) {
            QVERIFY(window_.copyFile().isEmpty());
            QCOMPARE(sim.clearRequestCount(), 0);
        } else {
            QCOMPARE(window_.text("txtWANIP"), ValueAfter(log, "WAN IP is "));
        }
        sim.setSystemLog(log);
        expectNextPressWorks(sim);
    }

    // A press while a hostile page is being parsed stops that work at once: within a second,
    // the program and everything it started is idle again.
    void newPressStopsTheWorkAtOnce() {
        routersim::RouterSim hostile(
            {.password = kPassword.toStdString(), .fault = Fault::HostileDivNesting});
        QVERIFY(hostile.start());
        routersim::RouterSim healthy({.password = kPassword.toStdString()});
        QVERIFY(healthy.start());
        window_.typeLogin(hostile, kPassword);
        QTest::mouseClick(window_.control("Command1"), Qt::LeftButton);
        // Busy parsing: the program's processes burn CPU.
        const qint64 start = ProcessTree::ofThisProcess().cpuTicks;
        QVERIFY(WaitUntil(
            [&] { return ProcessTree::ofThisProcess().cpuTicks - start > sysconf(_SC_CLK_TCK); },
            WindowDriver::kWaitMs));
        window_.tick("Check1", Qt::Unchecked);
        window_.tick("Check2", Qt::Unchecked);
        window_.typeLogin(healthy, kPassword);
        QVERIFY(window_.press("Command1"));
        QCOMPARE(window_.text("txtWANIP"), ValueAfter(healthy.systemLog(), "WAN IP is "));
        // Idle: a whole second in which everything took under a fifth of a second of CPU.
        QElapsedTimer clock;
        clock.start();
        QList<QPair<qint64, qint64>> seen;  // milliseconds since the press's end, CPU ticks
        bool idle = false;
        const auto idleForASecond = [&] {
            if (idle || (!seen.isEmpty() && clock.elapsed() - seen.last().first < 100))
                return idle;  // looked at seldom, so that looking is no work
            seen.append({clock.elapsed(), ProcessTree::ofThisProcess().cpuTicks});
            idle = std::any_of(seen.begin(), seen.end(), [&](const auto& then) {
                return seen.last().first - then.first >= 1'000 &&
                       seen.last().second - then.second < sysconf(_SC_CLK_TCK) / 5;
            });
            return idle;
        };
        QVERIFY(WaitUntil(idleForASecond, 2'100));
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "tst_fault_matrix.moc"
