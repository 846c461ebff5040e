#include "request_url.h"

#include <QtTest>

using namespace quorvane;

class TestRequestUrl : public QObject {
    Q_OBJECT
private slots:
    void passwordTravelsWhole_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("plain") << "secret";
        QTest::newRow("empty") << "";
        QTest::newRow("url syntax") << "p@ss:w/rd#x?y";
        QTest::newRow("percent and blank") << "50% off now";
        QTest::newRow("already encoded look") << "%41%zz";
        QTest::newRow("non-ascii") << QString::fromUtf8("pässwörd€");
    }
    void passwordTravelsWhole() {
        QFETCH(QString, password);
        const RouterUrl composed =
            ComposeRouterUrl({password, "192.0.2.1", "8080"}, LogPagePath(LogKind::System));
        QVERIFY(!composed.failure);
        // What the browser component will read back out of the URL is what the user typed.
        const QUrl reparsed(composed.url.toString(QUrl::FullyEncoded));
        QCOMPARE(reparsed.userName(), QStringLiteral("admin"));
        QCOMPARE(reparsed.password(QUrl::FullyDecoded), password);
        QCOMPARE(reparsed.host(), QStringLiteral("192.0.2.1"));
        QCOMPARE(reparsed.port(), 8080);
        QCOMPARE(reparsed.path(), QStringLiteral("/doc/syslog.htm"));
    }

    void pathsOfEachLog_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("system log")
            << LogPagePath(LogKind::System) << "http://admin:pw@192.0.2.1:80/doc/syslog.htm";
        QTest::newRow("security log")
            << LogPagePath(LogKind::Security) << "http://admin:pw@192.0.2.1:80/doc/seclog.htm";
        QTest::newRow("clear system log")
            << ClearLogPath(LogKind::System)
            << "http://admin:pw@192.0.2.1:80/doc/syslog.htm?WINDWEB_URL=/doc/syslog.htm&clearlog=0";
        QTest::newRow("clear security log")
            << ClearLogPath(LogKind::Security)
            << "http://admin:pw@192.0.2.1:80/doc/seclog.htm?WINDWEB_URL=/doc/seclog.htm&clearlog=0";
    }
    void pathsOfEachLog() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        const RouterUrl composed = ComposeRouterUrl({"pw", "192.0.2.1", "80"}, path);
        QCOMPARE(composed.url.toString(QUrl::FullyEncoded), expected);
    }

    void unusableAddressOrPortIsRefused_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::newRow("letters in port") << "192.0.2.1"
                                         << "80a";
        QTest::newRow("empty port") << "192.0.2.1"
                                    << "";
        QTest::newRow("port zero") << "192.0.2.1"
                                   << "0";
        QTest::newRow("port too large") << "192.0.2.1"
                                        << "65536";
        QTest::newRow("signed port") << "192.0.2.1"
                                     << "+80";
        QTest::newRow("slash in address") << "192.0.2.1/evil"
                                          << "80";
        QTest::newRow("at in address") << "evil.example@192.0.2.1"
                                       << "80";
        QTest::newRow("blank in address") << "192.0.2.1 "
                                          << "80";
        QTest::newRow("empty address") << ""
                                       << "80";
    }
    void unusableAddressOrPortIsRefused() {
        QFETCH(QString, address);
        QFETCH(QString, port);
        const RouterUrl composed =
            ComposeRouterUrl({"pw", address, port}, LogPagePath(LogKind::System));
        QVERIFY(composed.failure);
        QVERIFY(composed.url.isEmpty());
    }

    void hostNamesAndIpv6AreAccepted_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("host");
        QTest::newRow("name") << "router.home"
                              << "router.home";
        QTest::newRow("ipv6 loopback") << "::1"
                                       << "::1";
    }
    void hostNamesAndIpv6AreAccepted() {
        QFETCH(QString, address);
        QFETCH(QString, host);
        const RouterUrl composed =
            ComposeRouterUrl({"pw", address, "80"}, LogPagePath(LogKind::System));
        QVERIFY(!composed.failure);
        QCOMPARE(composed.url.host(), host);
    }
};

QTEST_GUILESS_MAIN(TestRequestUrl)
#include "tst_request_url.moc"
