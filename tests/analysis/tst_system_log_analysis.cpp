#include "system_log_analysis.h"

#include <QTest>

using namespace quorvane;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// One router log line: timestamp, two blanks, message, CR LF.
QString Line(const QString& timestamp, const QString& message) {
    return timestamp + QStringLiteral("  ") + message + kCrLf;
}

// The moment every uptime below is measured against.
AnalysisClock ClockAt(const QString& separator = QStringLiteral(":")) {
    return {QDateTime(QDate(2007, 4, 12), QTime(23, 30, 0)), separator};
}

}  // namespace

class TstSystemLogAnalysis : public QObject {
    Q_OBJECT

private slots:
    void fullRouterLog_data();
    void fullRouterLog();
    void emptyLog();
    void values_data();
    void values();
    void firewall_data();
    void firewall();
    void firewallLinesByPosition();
    void uptimes_data();
    void uptimes();
};

void TstSystemLogAnalysis::fullRouterLog_data() {
    QTest::addColumn<QString>("sessionTimestamp");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("adslTime");
    QTest::addColumn<QString>("routerTime");

    // The session comes up on the unset clock and the router syncs right after it.
    QTest::newRow("session before sync") << "01/01/1970 00:00:31"
                                         << ":"
                                         << "2 day(s) 02:14:58"
                                         << "2 day(s) 02:14:58";
    QTest::newRow("session after sync, dot separator") << "04/11/2007 06:00:00"
                                                       << "."
                                                       << "1 day(s) 17.30.00"
                                                       << "2 day(s) 02.14.58";
}

void TstSystemLogAnalysis::fullRouterLog() {
    QFETCH(QString, sessionTimestamp);
    QFETCH(QString, separator);
    QFETCH(QString, adslTime);
    QFETCH(QString, routerTime);

    const QString attack1 = QStringLiteral(
        "04/12/2007 22:59:24  Firewall: TCP packet dropped, 61.4.5.6:4099 -> 81.2.3.4:135");
    const QString attack2 = QStringLiteral(
        "04/12/2007 23:01:07  Firewall: UDP packet dropped, 220.1.2.3:1026 -> 81.2.3.4:1434");
    const QString log =
        QStringLiteral("System Log\r\n\r\n") +
        Line(QStringLiteral("01/01/1970 00:00:08"), QStringLiteral("Router started up")) +
        Line(sessionTimestamp, QStringLiteral("PPP1 Session is up.")) +
        Line(sessionTimestamp, QStringLiteral("WAN IP is 81.2.3.4")) +
        Line(sessionTimestamp, QStringLiteral("DNS Primary IP address is 194.168.4.100")) +
        Line(sessionTimestamp, QStringLiteral("DNS Secondary IP address is 194.168.8.100")) +
        Line(QStringLiteral("04/10/2007 21:15:02"),
             QStringLiteral("Received time from Time Server 192.43.244.18")) +
        attack1 + kCrLf + attack2 + kCrLf;

    const SystemLogFindings found = AnalyseSystemLog(log, QString(), ClockAt(separator));
    QCOMPARE(found.wanIp, QStringLiteral("81.2.3.4"));
    QCOMPARE(found.log, attack2 + kCrLf + attack1 + kCrLf);
    QCOMPARE(found.dns1, QStringLiteral("194.168.4.100"));
    QCOMPARE(found.dns2, QStringLiteral("194.168.8.100"));
    QCOMPARE(found.routerTime, routerTime);
    QCOMPARE(found.adslTime, adslTime);
}

void TstSystemLogAnalysis::emptyLog() {
    const SystemLogFindings found =
        AnalyseSystemLog(QString(), QStringLiteral("earlier lines\r\n"), ClockAt());
    QCOMPARE(found.wanIp, QStringLiteral("Not found"));
    QCOMPARE(found.log, QStringLiteral("No attacks found."));
    QCOMPARE(found.dns1, QStringLiteral("Not found"));
    QCOMPARE(found.dns2, QStringLiteral("Not found"));
    QCOMPARE(found.routerTime, QStringLiteral("No time sync"));
    QCOMPARE(found.adslTime, QStringLiteral("Not found"));
}

void TstSystemLogAnalysis::values_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("wanIp");
    QTest::addColumn<QString>("dns1");
    QTest::addColumn<QString>("dns2");

    const QString ts = QStringLiteral("04/12/2007 22:59:24");
    QTest::newRow("lower-case markers")
        << Line(ts, "wan ip is 81.2.3.4") + Line(ts, "dns primary ip address is 1.1.1.1") +
               Line(ts, "DNS SECONDARY IP ADDRESS IS 2.2.2.2")
        << "81.2.3.4"
        << "1.1.1.1"
        << "2.2.2.2";
    QTest::newRow("first occurrence decides")
        << Line(ts, "DNS Secondary IP address is 2.2.2.2") + Line(ts, "WAN IP is 81.2.3.4") +
               Line(ts, "DNS Primary IP address is 1.1.1.1") + Line(ts, "WAN IP is 9.9.9.9") +
               Line(ts, "DNS Primary IP address is 3.3.3.3") +
               Line(ts, "DNS Secondary IP address is 4.4.4.4")
        << "81.2.3.4"
        << "1.1.1.1"
        << "2.2.2.2";
    QTest::newRow("blanks kept") << Line(ts, "WAN IP is  81.2.3.4   ") << " 81.2.3.4   "
                                 << "Not found"
                                 << "Not found";
    QTest::newRow("marker at line end") << Line(ts, "WAN IP is ") + Line(ts, "Router up") << ""
                                        << "Not found"
                                        << "Not found";
    QTest::newRow("marker twice in one line")
        << Line(ts, "WAN IP is WAN IP is 81.2.3.4") << "WAN IP is 81.2.3.4"
        << "Not found"
        << "Not found";
    QTest::newRow("marker needs its blank") << Line(ts, "WAN IP is") << "Not found"
                                            << "Not found"
                                            << "Not found";
    QTest::newRow("last line without line end")
        << Line(ts, "WAN IP is 81.2.3.4") + ts + "  DNS Secondary IP address is 2.2.2.2"
        << "81.2.3.4"
        << "Not found"
        << "2.2.2.2";
}

void TstSystemLogAnalysis::values() {
    QFETCH(QString, log);
    QFETCH(QString, wanIp);
    QFETCH(QString, dns1);
    QFETCH(QString, dns2);
    const SystemLogFindings found = AnalyseSystemLog(log, QString(), ClockAt());
    QCOMPARE(found.wanIp, wanIp);
    QCOMPARE(found.dns1, dns1);
    QCOMPARE(found.dns2, dns2);
}

void TstSystemLogAnalysis::firewall_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("boxBefore");
    QTest::addColumn<QString>("expected");

    const QString ts = QStringLiteral("04/12/2007 22:59:24");
    QTest::newRow("twice in one line") << Line(ts, "Firewall: dropped Firewall: again") << ""
                                       << ts + "  Firewall: dropped Firewall: again" + kCrLf;
    QTest::newRow("any letter case")
        << Line(ts, "FIREWALL: dropped") + Line(ts, "firewall: dropped") << ""
        << ts + "  firewall: dropped" + kCrLf + ts + "  FIREWALL: dropped" + kCrLf;
    QTest::newRow("marker near its line start")
        << Line(ts, "Router up") + "Firewall: short line" + kCrLf << ""
        << "22:59:24  Router up" + kCrLf + "Firewall: short line" + kCrLf;
    QTest::newRow("marker near the text start") << "12:00  Firewall: cut" + kCrLf << ""
                                                << "12:00  Firewall: cut" + kCrLf;
    QTest::newRow("last line without line end")
        << Line(ts, "Router up") + ts + "  Firewall: dropped" << QString()
        << ts + "  Firewall: dropped" + kCrLf;
    QTest::newRow("in front of the box text")
        << Line(ts, "Firewall: dropped") << "earlier" + kCrLf
        << ts + "  Firewall: dropped" + kCrLf + "earlier" + kCrLf;
    QTest::newRow("none replaces the box text")
        << Line(ts, "Router up") << "earlier" + kCrLf << "No attacks found.";
}

void TstSystemLogAnalysis::firewall() {
    QFETCH(QString, log);
    QFETCH(QString, boxBefore);
    QFETCH(QString, expected);
    QCOMPARE(AnalyseSystemLog(log, boxBefore, ClockAt()).log, expected);
}

void TstSystemLogAnalysis::firewallLinesByPosition() {
    const QString ts = QStringLiteral("04/12/2007 22:59:24");
    const QString first = ts + QStringLiteral("  Firewall: TCP packet dropped");
    const QString second = ts + QStringLiteral("  Firewall: UDP packet dropped");
    const QString fill1 = QString(76, u'-') + kCrLf;
    const QString fill2 = QString(278 - 78 - first.size() - 4, u'-') + kCrLf;
    const QString log = fill1 + first + kCrLf + fill2 + second + kCrLf;
    QCOMPARE(log.indexOf(QStringLiteral("Firewall:")) + 1, 100);
    QCOMPARE(log.lastIndexOf(QStringLiteral("Firewall:")) + 1, 300);

    // Each line from 21 characters before its marker (positions 79 and 279), the later first.
    QCOMPARE(AnalyseSystemLog(log, QString(), ClockAt()).log, second + kCrLf + first + kCrLf);
}

void TstSystemLogAnalysis::uptimes_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("routerTime");
    QTest::addColumn<QString>("adslTime");

    const QString sync = QStringLiteral("Received time from Time Server");
    const QString up = QStringLiteral("PPP1 Session is up.");
    const QString day = QStringLiteral("04/11/2007 23:00:00");   // 1 day(s) 00:30:00 ago
    const QString hour = QStringLiteral("04/12/2007 22:30:00");  // 0 day(s) 01:00:00 ago
    const QString unset = QStringLiteral("01/01/1970 00:00:31");
    const QString garbage = QStringLiteral("Router is ready now");

    QTest::newRow("no markers") << Line(day, "Router up") << "No time sync"
                                << "Not found";
    QTest::newRow("both") << Line(day, up) + Line(hour, sync) << "0 day(s) 01:00:00"
                          << "1 day(s) 00:30:00";
    QTest::newRow("first occurrence decides")
        << Line(day, sync) + Line(hour, up) + Line(hour, sync) + Line(day, up)
        << "1 day(s) 00:30:00"
        << "0 day(s) 01:00:00";
    QTest::newRow("any letter case")
        << Line(day, sync.toUpper()) + Line(hour, up.toLower()) << "1 day(s) 00:30:00"
        << "0 day(s) 01:00:00";
    QTest::newRow("not dates") << Line(garbage, sync) + Line(garbage, up) << "No valid date"
                               << "Not Valid Date";
    QTest::newRow("impossible dates")
        << Line("02/30/2007 10:00:00", sync) + Line("04/12/2007 24:00:00", up) << "No valid date"
        << "Not Valid Date";
    // Too close to the start, the piece in front of a marker is cut short.
    QTest::newRow("sync near the text start") << "07 22:59:24  " + sync << "No valid date"
                                              << "Not found";
    QTest::newRow("session near the text start") << "2:59:24  " + up << "No time sync"
                                                 << "Not Valid Date";
    QTest::newRow("short timestamp at the text start")
        << "4/2/2007 1:02:03  " + up << "No time sync"
        << "10 day(s) 22:27:57";
    QTest::newRow("1970 session copies router uptime")
        << Line(unset, up) + Line(hour, sync) << "0 day(s) 01:00:00"
        << "0 day(s) 01:00:00";
    QTest::newRow("1970 session without sync") << Line(unset, up) << "No time sync"
                                               << "No time sync";
    QTest::newRow("1970 session, sync not a date")
        << Line(unset, up) + Line(garbage, sync) << "No valid date"
        << "No valid date";
    QTest::newRow("1970 sync is an uptime like any other")
        << Line(unset, sync) << "13615 day(s) 23:29:29"
        << "Not found";
}

void TstSystemLogAnalysis::uptimes() {
    QFETCH(QString, log);
    QFETCH(QString, routerTime);
    QFETCH(QString, adslTime);
    const SystemLogFindings found = AnalyseSystemLog(log, QString(), ClockAt());
    QCOMPARE(found.routerTime, routerTime);
    QCOMPARE(found.adslTime, adslTime);
}

QTEST_GUILESS_MAIN(TstSystemLogAnalysis)
#include "tst_system_log_analysis.moc"
