#include "security_log_analysis.h"

#include <QTest>

using namespace quorvane;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

class TstSecurityLogAnalysis : public QObject {
    Q_OBJECT

private slots:
    void analyse_data();
    void analyse();
    void entriesByPosition();
};

void TstSecurityLogAnalysis::analyse_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("boxBefore");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("expected");

    const QDate today(2007, 4, 12);
    const QString attack = QStringLiteral("04/12/2007 22:59:24  Ping of death from 61.4.5.6");
    const QString probe = QStringLiteral("04/12/2007 23:01:07  Port scan from 220.1.2.3");

    QTest::newRow("newest first") << "Security Log" + kCrLf + attack + kCrLf + probe + kCrLf << ""
                                  << today << probe.mid(6) + kCrLf + attack.mid(6) + kCrLf;
    QTest::newRow("early January skips December")
        << "12/31/2006 23:59:00  Port scan" + kCrLf + "01/02/2007 00:10:00  Port scan" + kCrLf << ""
        << QDate(2007, 1, 3) << "2007 00:10:00  Port scan" + kCrLf;
    QTest::newRow("year twice in one line")
        << "04/12/2007 22:59:24  Attack logged 04/12/2007" + kCrLf << "" << today
        << "2007 22:59:24  Attack logged 04/12/2007" + kCrLf;
    QTest::newRow("year inside a longer number")
        << "06/01/2006 10:00:00  Dropped 120071 packets" + kCrLf << "" << today
        << "20071 packets" + kCrLf;
    QTest::newRow("last line without line end")
        << attack + kCrLf + probe << "" << today << probe.mid(6) + kCrLf + attack.mid(6) + kCrLf;
    QTest::newRow("in front of the box text") << attack + kCrLf << "earlier" + kCrLf << today
                                              << attack.mid(6) + kCrLf + "earlier" + kCrLf;
    QTest::newRow("none replaces the box text")
        << "06/01/2006 10:00:00  Port scan" + kCrLf << "earlier" + kCrLf << today
        << "No attacks found.";
    QTest::newRow("empty log") << ""
                               << "" << today << "No attacks found.";
}

void TstSecurityLogAnalysis::analyse() {
    QFETCH(QString, log);
    QFETCH(QString, boxBefore);
    QFETCH(QDate, today);
    QFETCH(QString, expected);
    const AnalysisClock clock{QDateTime(today, QTime(12, 0)), QStringLiteral(":")};
    QCOMPARE(AnalyseSecurityLog(log, boxBefore, clock), expected);
}

void TstSecurityLogAnalysis::entriesByPosition() {
    const QString first = QString(43, u'-') + QStringLiteral("04/12/2007 10:00:00  first");
    const QString second = QString(120 - 1 - 6 - first.size() - 2, u'-') +
                           QStringLiteral("04/12/2007 11:00:00  second");
    const QString log = first + kCrLf + second + kCrLf;
    QCOMPARE(log.indexOf(QStringLiteral("2007")) + 1, 50);
    QCOMPARE(log.lastIndexOf(QStringLiteral("2007")) + 1, 120);

    const AnalysisClock clock{QDateTime(QDate(2007, 4, 12), QTime(12, 0)), QStringLiteral(":")};
    QCOMPARE(AnalyseSecurityLog(log, QString(), clock),
             QStringLiteral("2007 11:00:00  second") + kCrLf +
                 QStringLiteral("2007 10:00:00  first") + kCrLf);
}

QTEST_GUILESS_MAIN(TstSecurityLogAnalysis)
#include "tst_security_log_analysis.moc"
