#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <chrono>
#include <memory>
#include <optional>

#include "engine_at_first_sight.h"
#include "helper_environment.h"
#include "network_isolation.h"
#include "page_text.h"
#include "sim_hostile.h"
#include "sim_page.h"
#include "static_page_reader.h"
#include "wait_until.h"

using quorvane::Helper;
using quorvane::SetHelperCommand;
using quorvane::StaticPageReader;
using Outcome = quorvane::StaticPageReader::Outcome;

namespace {

const QString kFixtureDir = QStringLiteral(QUORVANE_FIXTURES "/page-text");

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// In plain markup, which a look at the bytes passes, so that the helper parses it.
QByteArray HostilePage(routersim::Fault fault, std::size_t size) {
    const std::string log = routersim::makeSystemLog(std::chrono::system_clock::now(), 3);
    return QByteArray::fromStdString(routersim::hostilePage(
        fault, routersim::LogKind::System, routersim::PageStyle::Pre, log, "utf-8", size, true));
}

// The fields of /proc/PID/stat after the command name, which may hold spaces itself.
QList<QByteArray> ProcessStat(qint64 pid) {
    const QByteArray stat = ReadFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype nameEnd = stat.lastIndexOf(')');
    return nameEnd < 0 ? QList<QByteArray>() : stat.mid(nameEnd + 2).split(' ');
}

// Page readers that this process started, running or not yet reaped.
QList<qint64> PageReaders() {
    QList<qint64> pids;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid) continue;
        const QList<QByteArray> fields = ProcessStat(pid);
        if (fields.size() > 1 && fields[1].toLongLong() == getpid() &&
            ReadFile(QStringLiteral("/proc/%1/comm").arg(pid)).startsWith("quorvane-page")) {
            pids.append(pid);
        }
    }
    return pids;
}

// Clock ticks of CPU time, user and system, that a process has used.
qint64 CpuTicks(qint64 pid) {
    const QList<QByteArray> fields = ProcessStat(pid);
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

struct Result {
    Outcome outcome = Outcome::Unavailable;
    QString text;
};

// Reads a page and waits for the answer, which never comes from within read().
std::optional<Result> Read(StaticPageReader& reader, const QByteArray& body,
                           const QByteArray& contentType) {
    QSignalSpy finished(&reader, &StaticPageReader::finished);
    reader.read(body, contentType);
    if (!finished.isEmpty() || !finished.wait(60'000) || finished.size() != 1) return {};
    return Result{finished[0][0].value<Outcome>(), finished[0][1].toString()};
}

}  // namespace

class TestStaticPageReader : public QObject {
    Q_OBJECT

private slots:
    void init() { SetHelperCommand(Helper::PageReader, {QStringLiteral(QUORVANE_PAGE_READER)}); }

    void cleanup() { QTRY_VERIFY(PageReaders().isEmpty()); }

    // The helper gives what the static path gives in this process, text or "needs the engine".
    void givesTheTextOfThisProcess_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        const QDir dir(kFixtureDir);
        for (const QFileInfo& page : dir.entryInfoList({"*.html"}, QDir::Files, QDir::Name)) {
            const QByteArray type =
                ReadFile(dir.filePath(page.completeBaseName() + ".content-type"));
            QTest::newRow(qPrintable(page.completeBaseName()))
                << ReadFile(page.filePath()) << (type.isEmpty() ? "text/html" : type.trimmed());
        }
        QTest::newRow("text file") << QByteArray(
                                          "\xEF\xBB\xBF\xEF\xBB\xBF"
                                          "a\rb\n")
                                   << QByteArray("text/plain");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        const std::string log = routersim::makeSystemLog(std::chrono::system_clock::now(), 3);
        for (int style = 0; style <= int(routersim::PageStyle::ManyResources); ++style) {
            for (const bool plain : {false, true}) {
                const auto name = std::string(routersim::styleName(routersim::PageStyle(style)));
                QTest::newRow((name + (plain ? ", plain markup" : "")).c_str())
                    << QByteArray::fromStdString(routersim::renderPage(routersim::LogKind::System,
                                                                       routersim::PageStyle(style),
                                                                       log, "utf-8", false, plain))
                    << QByteArray("text/html; charset=utf-8");
            }
        }
    }

    // Pages that a look at their bytes sends straight to the engine are those the helper would.
    void givesTheTextOfThisProcess() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        const std::optional<QString> expected = quorvane::StaticPageText(body, contentType);
        QCOMPARE(quorvane::NeedsEngineAtFirstSight(body, contentType), !expected);
        StaticPageReader reader;
        const std::optional<Result> result = Read(reader, body, contentType);
        QVERIFY(result);
        QCOMPARE(result->outcome, expected ? Outcome::Text : Outcome::NeedsEngine);
        QCOMPARE(result->text, expected.value_or(QString()));
    }

    void stopsAPageOverItsLimits_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("cpuSeconds");
        QTest::addColumn<bool>("needsMemoryLimit");
        // Some 20 s of parsing, stopped after one.
        QTest::newRow("time") << HostilePage(routersim::Fault::HostileDivNesting, 1u << 20) << 1
                              << false;
        // 64 KiB that take over 2 GiB within seconds, stopped at 256 MiB.
        QTest::newRow("memory") << HostilePage(routersim::Fault::HostileParagraphBold, 64u << 10)
                                << 60 << true;
    }

    void stopsAPageOverItsLimits() {
        QFETCH(QByteArray, page);
        QFETCH(int, cpuSeconds);
        QFETCH(bool, needsMemoryLimit);
        if (needsMemoryLimit && !StaticPageReader::limitsMemory()) {
            QSKIP("this build cannot limit the helper's memory");
        }
        StaticPageReader reader({.memoryBytes = 256ll << 20, .cpuSeconds = cpuSeconds});
        const std::optional<Result> result = Read(reader, page, "text/html");
        QVERIFY(result);
        QCOMPARE(result->outcome, Outcome::TooComplex);
    }

    // Destroying the reader, or starting another read, kills the helper at once: its process
    // goes, and with it the CPU it was burning.
    void abandoningAReadKillsItsHelper_data() {
        QTest::addColumn<bool>("readAgain");
        QTest::newRow("reader destroyed") << false;
        QTest::newRow("another read") << true;
    }

    void abandoningAReadKillsItsHelper() {
        QFETCH(bool, readAgain);
        auto reader = std::make_unique<StaticPageReader>();
        QSignalSpy finished(reader.get(), &StaticPageReader::finished);
        reader->read(HostilePage(routersim::Fault::HostileDivNesting, 1u << 20), "text/html");
        QTRY_COMPARE(PageReaders().size(), 1);
        const qint64 helper = PageReaders().constFirst();
        QTRY_VERIFY(CpuTicks(helper) > 10);  // well into the parse
        if (readAgain) {
            reader->read("<p>next", "text/html");
            QTRY_COMPARE(finished.size(), 1);
            QCOMPARE(finished[0][0].value<Outcome>(), Outcome::Text);
        } else {
            reader.reset();
        }
        QTRY_VERIFY(!PageReaders().contains(helper));
        QCOMPARE(CpuTicks(helper), -1);
    }

    // The demo router's hostile pages come at the size asked for, the log whole inside them.
    void hostilePagesHoldTheLog_data() {
        QTest::addColumn<int>("fault");
        for (const routersim::Fault fault : routersim::allFaults()) {
            if (routersim::isHostileMarkup(fault)) {
                QTest::newRow(routersim::faultName(fault).data()) << int(fault);
            }
        }
    }

    void hostilePagesHoldTheLog() {
        QFETCH(int, fault);
        const std::size_t size = 256u << 10;
        const std::string log = routersim::makeSystemLog(std::chrono::system_clock::now(), 3);
        const std::string page =
            routersim::hostilePage(routersim::Fault(fault), routersim::LogKind::System,
                                   routersim::PageStyle::Table, log, "utf-8", size);
        QVERIFY2(page.size() >= size && page.size() < size + 64,
                 qPrintable(QString::number(page.size())));
        QVERIFY(page.find(routersim::logBlock(routersim::PageStyle::Table, log)) !=
                std::string::npos);
    }

    // The helper has a network of its own and ends with its parent (to the kernel, the thread
    // that started it, which ends here in mid-read).
    void containedLikeTheEngine() {
        std::unique_ptr<StaticPageReader> reader;
        qint64 helper = 0;
        bool contained = false;  // seen in a network of its own while the thread lived
        std::unique_ptr<QThread> parent(QThread::create([&] {
            reader = std::make_unique<StaticPageReader>();
            reader->read(HostilePage(routersim::Fault::HostileDivNesting, 1u << 20), "text/html");
            const auto own = [&] { return quorvane::SharesThisNetwork(helper) == false; };
            contained =
                WaitUntil([&] { return (helper = PageReaders().value(0)) && own(); }, 10'000);
            reader->moveToThread(QCoreApplication::instance()->thread());
        }));
        parent->start();
        parent->wait();
        QVERIFY(contained);
        QTRY_VERIFY(!PageReaders().contains(helper));
    }

    void withoutAHelperIsUnavailable() {
        SetHelperCommand(Helper::PageReader, {QDir::temp().filePath("no-such-page-reader")});
        StaticPageReader reader;
        const std::optional<Result> result = Read(reader, "<p>a", "text/html");
        QVERIFY(result);
        QCOMPARE(result->outcome, Outcome::Unavailable);
    }
};

QTEST_GUILESS_MAIN(TestStaticPageReader)
#include "tst_static_page_reader.moc"
