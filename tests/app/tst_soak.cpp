#include "window_driver.h"

#include <QFile>
#include <QtTest>

namespace {

// Resident memory of this process in KiB.
qint64 ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

constexpr int kFetches = 1000;
constexpr int kWarmUp = 100;
constexpr qint64 kMarginKiB = 8 * 1024;

}  // namespace

// A thousand fetches and analyses through one window: a leak per fetch of even a few KiB shows.
class TestSoak : public QObject {
    Q_OBJECT

    WindowDriver window_;

private slots:
    void memoryStaysFlatOverManyFetches() {
        if (ResidentKiB() < 0) QSKIP("no /proc/self/status here");
        QVERIFY(window_.open());
        routersim::RouterSim sim({.password = "demo", .firewallLines = 50});
        QVERIFY(sim.start());
        const std::string log = sim.systemLog();
        const std::string securityLog = sim.securityLog();
        window_.typeLogin(sim, QStringLiteral("demo"));
        window_.tick("Check1");
        window_.tick("Check2");

        qint64 afterWarmUp = 0;
        for (int fetch = 1; fetch <= kFetches; ++fetch) {
            sim.setSystemLog(log);  // the clear emptied it
            sim.setSecurityLog(securityLog);
            QVERIFY(window_.press(fetch % 2 ? "Command1" : "Command2"));
            if (fetch % 2) QCOMPARE(window_.text("txtWANIP"), ValueAfter(log, "WAN IP is "));
            if (fetch == kWarmUp) afterWarmUp = ResidentKiB();
        }
        const qint64 atEnd = ResidentKiB();
        qInfo("resident memory after %d fetches: %lld KiB; after %d: %lld KiB", kWarmUp,
              afterWarmUp, kFetches, atEnd);
        QVERIFY2(atEnd - afterWarmUp < kMarginKiB, "memory grew with every fetch");
        QCOMPARE(sim.clearsPerformed(), kFetches);
    }
};

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
