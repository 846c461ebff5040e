#include "log_timestamps.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

using namespace quorvane;

class TstLogTimestamps : public QObject {
    Q_OBJECT

private slots:
    void getField_data();
    void getField();
    void isDateTimeText_data();
    void isDateTimeText();
    void parseLogTimestamp_data();
    void parseLogTimestamp();
    void readingIgnoresLocale();
    void formatUptime_data();
    void formatUptime();
    void uptimeIgnoresTimeSpecOfNow();
};

void TstLogTimestamps::getField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");

    QTest::newRow("time part") << "04/12/2007 22:59:24"
                               << " " << 2 << "22:59:24";
    QTest::newRow("year") << "04/12/2007"
                          << "/" << 3 << "2007";
    QTest::newRow("leading zero kept") << "04/12/2007"
                                       << "/" << 1 << "04";
    QTest::newRow("adjacent delimiters") << "a//b"
                                         << "/" << 2 << "";
    QTest::newRow("no delimiter") << "abc"
                                  << "/" << 1 << "abc";
    QTest::newRow("delimiter at end") << "a/"
                                      << "/" << 2 << "";
    QTest::newRow("not trimmed") << " a : b "
                                 << ":" << 2 << " b ";
    QTest::newRow("field 0") << "a/b"
                             << "/" << 0 << "";
    QTest::newRow("negative field") << "a/b"
                                    << "/" << -1 << "";
    QTest::newRow("past last field") << "a/b"
                                     << "/" << 3 << "";
    QTest::newRow("empty text") << ""
                                << "/" << 1 << "";
}

void TstLogTimestamps::getField() {
    QFETCH(QString, text);
    QFETCH(QString, delimiter);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QCOMPARE(GetField(text, delimiter, n), expected);
}

void TstLogTimestamps::isDateTimeText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("router layout") << "04/12/2007 22:59:24" << true;
    QTest::newRow("one-digit fields") << "4/2/2007 1:2:3" << true;
    QTest::newRow("unset clock") << "01/01/1970 00:00:10" << true;
    QTest::newRow("leap day") << "02/29/2008 00:00:00" << true;
    QTest::newRow("last second") << "12/31/9999 23:59:59" << true;

    QTest::newRow("empty") << "" << false;
    QTest::newRow("prose") << "Router started up  " << false;
    QTest::newRow("end of previous line") << "2:59:24  up.\r\n04/12" << false;
    QTest::newRow("day first impossible") << "13/04/2007 22:59:24" << false;
    QTest::newRow("no 30 February") << "02/30/2007 10:00:00" << false;
    QTest::newRow("hour 24") << "04/12/2007 24:00:00" << false;
    QTest::newRow("second 60") << "04/12/2007 22:59:60" << false;
    QTest::newRow("year 0") << "01/01/0000 10:00:00" << false;
    QTest::newRow("two-digit year") << "04/12/07 22:59:24" << false;
    QTest::newRow("year first") << "2007-04-12 22:59:24" << false;
    QTest::newRow("month name") << "Apr/12/2007 22:59:24" << false;
    QTest::newRow("date only") << "04/12/2007" << false;
    QTest::newRow("no seconds") << "04/12/2007 22:59" << false;
    QTest::newRow("leading blank") << " 4/12/2007 22:59:24" << false;
    QTest::newRow("trailing blank") << "4/12/2007 22:59:24 " << false;
    QTest::newRow("two blanks") << "4/12/2007  2:59:24" << false;
    QTest::newRow("empty field") << "04//2007 22:59:24" << false;
    QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("٠٤/١٢/٢٠٠٧ ٢٢:٥٩:٢٤") << false;
}

void TstLogTimestamps::isDateTimeText() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(IsDateTimeText(text), accepted);
}

void TstLogTimestamps::parseLogTimestamp_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");  // invalid: not readable
    QTest::addColumn<QTime>("time");

    QTest::newRow("router layout")
        << "04/12/2007 22:59:24" << QDate(2007, 4, 12) << QTime(22, 59, 24);
    QTest::newRow("one-digit fields") << "4/2/2007 1:02:03" << QDate(2007, 4, 2) << QTime(1, 2, 3);
    QTest::newRow("month 13") << "13/05/2007 10:00:00" << QDate(2008, 1, 5) << QTime(10, 0);
    QTest::newRow("month 0") << "0/05/2007 10:00:00" << QDate(2006, 12, 5) << QTime(10, 0);
    QTest::newRow("day 0") << "03/00/2008 10:00:00" << QDate(2008, 2, 29) << QTime(10, 0);
    QTest::newRow("month 13 day 0") << "13/0/2007 10:00:00" << QDate(2007, 12, 31) << QTime(10, 0);
    QTest::newRow("hour 24") << "12/31/2007 24:00:00" << QDate(2008, 1, 1) << QTime(0, 0);
    QTest::newRow("second 60") << "04/12/2007 22:59:60" << QDate(2007, 4, 12) << QTime(23, 0);
    QTest::newRow("negative day") << "01/-1/2007 00:00:00" << QDate(2006, 12, 30) << QTime(0, 0);
    QTest::newRow("negative hour") << "04/12/2007 -1:00:00" << QDate(2007, 4, 11) << QTime(23, 0);
    QTest::newRow("largest fields") << "1/1/2000 32767:0:0" << QDate(2003, 9, 27) << QTime(7, 0);

    QTest::newRow("empty") << "" << QDate() << QTime();
    QTest::newRow("no time part") << "04/12/2007" << QDate() << QTime();
    QTest::newRow("two blanks") << "04/12/2007  22:59:24" << QDate() << QTime();
    QTest::newRow("empty field") << "04//2007 22:59:24" << QDate() << QTime();
    QTest::newRow("not a number") << "Apr/12/2007 22:59:24" << QDate() << QTime();
    QTest::newRow("beyond 16 bits") << "04/12/2007 32768:00:00" << QDate() << QTime();
    QTest::newRow("year first") << "2007-04-12 22:59:24" << QDate() << QTime();
    QTest::newRow("year 0") << "01/01/0 10:00:00" << QDate() << QTime();
}

void TstLogTimestamps::parseLogTimestamp() {
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    const auto parsed = ParseLogTimestamp(text);
    QCOMPARE(parsed.has_value(), date.isValid());
    if (parsed) {
        QCOMPARE(parsed->date(), date);
        QCOMPARE(parsed->time(), time);
    }
}

void TstLogTimestamps::readingIgnoresLocale() {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));  // writes 12.04.2007
    const bool accepted = IsDateTimeText(QStringLiteral("04/12/2007 22:59:24"));
    const auto parsed = ParseLogTimestamp(QStringLiteral("04/12/2007 22:59:24"));
    QLocale::setDefault(saved);
    QVERIFY(accepted);
    QVERIFY(parsed);
    QCOMPARE(parsed->date(), QDate(2007, 4, 12));
}

void TstLogTimestamps::formatUptime_data() {
    QTest::addColumn<QDateTime>("t");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");

    const auto at = [](int y, int mo, int d, int h, int mi, int s = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    };
    QTest::newRow("example") << at(2007, 4, 10, 8, 0) << at(2007, 4, 12, 10, 30, 15) << ":"
                             << "2 day(s) 02:30:15";
    QTest::newRow("one hour") << at(2007, 4, 12, 8, 0) << at(2007, 4, 12, 9, 0) << ":"
                              << "0 day(s) 01:00:00";
    QTest::newRow("24 hours") << at(2007, 4, 11, 8, 0) << at(2007, 4, 12, 8, 0) << ":"
                              << "1 day(s) 00:00:00";
    QTest::newRow("26 hours") << at(2007, 4, 11, 8, 0) << at(2007, 4, 12, 10, 0) << ":"
                              << "1 day(s) 02:00:00";
    QTest::newRow("2 hours over midnight") << at(2007, 4, 10, 23, 0) << at(2007, 4, 11, 1, 0) << ":"
                                           << "1 day(s) 02:00:00";
    QTest::newRow("26 hours over 2 midnights")
        << at(2007, 4, 10, 23, 0) << at(2007, 4, 12, 1, 0) << ":"
        << "2 day(s) 02:00:00";
    QTest::newRow("3 hours ahead") << at(2007, 4, 12, 13, 0) << at(2007, 4, 12, 10, 0) << ":"
                                   << "0 day(s) 03:00:00";
    QTest::newRow("27 hours ahead") << at(2007, 4, 13, 13, 0) << at(2007, 4, 12, 10, 0) << ":"
                                    << "-1 day(s) 03:00:00";
    QTest::newRow("unset clock") << at(1970, 1, 1, 0, 0, 10) << at(2007, 4, 12, 23, 59, 59) << ":"
                                 << "13615 day(s) 23:59:49";
    QTest::newRow("unset clock, last 16-bit day")
        << at(1970, 1, 1, 0, 0, 10) << at(2059, 9, 18, 0, 0, 10) << ":"
        << "32767 day(s) 00:00:00";
    QTest::newRow("unset clock, day count past 16 bits")
        << at(1970, 1, 1, 0, 0, 10) << at(2059, 9, 19, 0, 0, 10) << ":"
        << "32768 day(s) 00:00:00";
    QTest::newRow("locale separator") << at(2007, 4, 10, 8, 0) << at(2007, 4, 12, 10, 30, 15) << "."
                                      << "2 day(s) 02.30.15";
    QTest::newRow("invalid t") << QDateTime() << at(2007, 4, 12, 10, 0) << ":"
                               << "";
}

void TstLogTimestamps::formatUptime() {
    QFETCH(QDateTime, t);
    QFETCH(QDateTime, now);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    QCOMPARE(FormatUptime(t, AnalysisClock{now, separator}), expected);
}

void TstLogTimestamps::uptimeIgnoresTimeSpecOfNow() {
    // The router's timestamps and the user's clock are both wall-clock readings: two hours of
    // zone offset on one of them must not show up in the uptime.
    const auto t = ParseLogTimestamp(QStringLiteral("03/25/2007 01:00:00"));
    QVERIFY(t);
    const QDateTime now(QDate(2007, 3, 25), QTime(4, 0), QTimeZone(7200));
    QCOMPARE(FormatUptime(*t, AnalysisClock{now, QStringLiteral(":")}),
             QStringLiteral("0 day(s) 03:00:00"));
}

QTEST_GUILESS_MAIN(TstLogTimestamps)
#include "tst_log_timestamps.moc"
