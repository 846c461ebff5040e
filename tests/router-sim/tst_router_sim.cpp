#include "router_sim.h"

#include <QDateTime>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QtTest>

using routersim::Fault;
using routersim::PageStyle;
using routersim::RouterSim;
using namespace std::chrono_literals;

namespace {

struct Answer {
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QByteArray contentType;
    QByteArray location;
    QByteArray challenge;
};

QByteArray Basic(const QString& user, const QString& password) {
    return "Basic " + (user + ':' + password).toUtf8().toBase64();
}

QString Url(const RouterSim& sim, const QString& target) {
    return QStringLiteral("http://%1:%2%3")
        .arg(QString::fromStdString(sim.host()))
        .arg(sim.port())
        .arg(target);
}

QNetworkReply* Get(QNetworkAccessManager& network, const QString& url,
                   const QByteArray& authorization) {
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(60'000);
    if (!authorization.isEmpty()) request.setRawHeader("Authorization", authorization);
    return network.get(request);
}

Answer Fetch(const QString& url, const QByteArray& authorization = Basic("admin", "demo")) {
    QNetworkAccessManager network;
    QNetworkReply* reply = Get(network, url, authorization);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            reply->error(),
            reply->readAll(),
            reply->rawHeader("Content-Type"),
            reply->rawHeader("Location"),
            reply->rawHeader("WWW-Authenticate")};
}

// The bytes of one exchange on a connection of its own, read until the router closes it or
// `limit` bytes have come; for answers that a client library would hide or refuse.
QByteArray Exchange(const RouterSim& sim, const QByteArray& target, qsizetype limit = 4 << 20,
                    int lateMs = 0) {
    QTcpSocket socket;
    socket.connectToHost(QString::fromStdString(sim.host()), quint16(sim.port()));
    if (!socket.waitForConnected(10'000)) return {};
    QTest::qSleep(lateMs);
    socket.write("GET " + target + " HTTP/1.1\r\nHost: router\r\nAuthorization: " +
                 Basic("admin", "demo") + "\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    while (answer.size() < limit) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(10'000)) break;
        answer += socket.read(limit - answer.size());
    }
    return answer;
}

QList<QByteArray> Lines(const std::string& log) {
    return QByteArray::fromStdString(log).split('\n');
}

}  // namespace

class TestRouterSim : public QObject {
    Q_OBJECT

private slots:
    void authorisation_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("authorization");
        QTest::addColumn<int>("status");
        const QString odd = QString::fromUtf8("p@ss:/#% w\u00f6rd\u20ac");
        QTest::newRow("none") << "demo" << QByteArray() << 401;
        QTest::newRow("wrong password") << "demo" << Basic("admin", "demx") << 401;
        QTest::newRow("password prefix") << "demo" << Basic("admin", "dem") << 401;
        QTest::newRow("wrong user") << "demo" << Basic("root", "demo") << 401;
        QTest::newRow("not base64") << "demo" << QByteArray("Basic YWRt!W46ZGVtbw==") << 401;
        QTest::newRow("right") << "demo" << Basic("admin", "demo") << 200;
        QTest::newRow("scheme in lower case") << "demo"
                                              << "basic " + Basic("admin", "demo").mid(6) << 200;
        QTest::newRow("url syntax, blank, non-ascii") << odd << Basic("admin", odd) << 200;
        QTest::newRow("latin-1 instead of utf-8")
            << odd << "Basic " + ("admin:" + odd.toLatin1()).toBase64() << 401;
    }
    void authorisation() {
        QFETCH(QString, password);
        QFETCH(QByteArray, authorization);
        QFETCH(int, status);
        RouterSim sim({.password = password.toStdString()});
        QVERIFY(sim.start());
        const Answer answer = Fetch(Url(sim, "/doc/seclog.htm"), authorization);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.challenge.startsWith("Basic realm=\""), status == 401);
        QCOMPARE(answer.body.contains("Login success"), status == 200);
        QCOMPARE(sim.requests().back().authorization, authorization.toStdString());
    }

    // As on real routers, a file that is missing is refused without the password all the same.
    void everyFileIsBehindTheLogin_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::newRow("style sheet") << "/css/log.css" << 200;
        QTest::newRow("script") << "/JS/util.js" << 200;
        QTest::newRow("missing script") << "/js/jquery.min.js" << 404;
        QTest::newRow("missing page") << "/doc/status.htm" << 404;
    }
    void everyFileIsBehindTheLogin() {
        QFETCH(QString, path);
        QFETCH(int, status);
        RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        QCOMPARE(Fetch(Url(sim, path), QByteArray()).status, 401);
        QCOMPARE(Fetch(Url(sim, path)).status, status);
    }

    void clearEmptiesTheNamedLogOnly_data() {
        QTest::addColumn<QString>("page");
        QTest::newRow("system") << "syslog";
        QTest::newRow("security") << "seclog";
    }
    void clearEmptiesTheNamedLogOnly() {
        QFETCH(QString, page);
        RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        const bool system = page == QLatin1String("syslog");
        const std::string other = system ? sim.securityLog() : sim.systemLog();
        const QString target =
            QStringLiteral("/doc/%1.htm?WINDWEB_URL=/doc/%1.htm&clearlog=0").arg(page);

        QCOMPARE(Fetch(Url(sim, target), Basic("admin", "wrong")).status, 401);
        QVERIFY(!(system ? sim.systemLog() : sim.securityLog()).empty());
        const Answer answer = Fetch(Url(sim, target));
        QCOMPARE(answer.status, 200);
        QVERIFY(answer.body.contains("<pre"));
        QVERIFY(!answer.body.contains("admin from") && !answer.body.contains("WAN IP is"));
        QVERIFY((system ? sim.systemLog() : sim.securityLog()).empty());
        QCOMPARE(system ? sim.securityLog() : sim.systemLog(), other);
        QCOMPARE(sim.clearRequestCount(), 2);
        QCOMPARE(sim.clearsPerformed(), 1);
        QCOMPARE(sim.requests().back().target, target.toStdString());
        QCOMPARE(sim.requests().back().status, 200);

        Fetch(Url(sim, QStringLiteral("/doc/%1.htm").arg(page)));
        QCOMPARE(sim.clearRequestCount(), 2);
    }

    void everyStyleCarriesTheLogAndNoStrayMarker_data() {
        QTest::addColumn<QString>("style");
        for (const char* style : {"pre", "br", "table", "textarea", "div"}) {
            QTest::newRow(style) << style;
        }
    }
    void everyStyleCarriesTheLogAndNoStrayMarker() {
        QFETCH(QString, style);
        RouterSim sim({.password = "demo", .firewallLines = 4});
        sim.setStyle(*routersim::styleFromName(style.toStdString()));
        QVERIFY(sim.start());
        const Answer answer = Fetch(Url(sim, "/doc/syslog.htm"));
        QCOMPARE(answer.status, 200);
        qsizetype at = 0;
        for (const QByteArray& line : Lines(sim.systemLog())) {
            for (const QByteArray& part : {line.left(19), line.mid(21)}) {
                at = answer.body.indexOf(part, at);
                QVERIFY2(at >= 0, part.constData());
            }
        }
        QCOMPARE(answer.body.count("Firewall:"), 4);
        for (const char* marker :
             {"WAN IP is ", "DNS Primary IP address is ", "DNS Secondary IP address is ",
              "Received time from Time Server", "PPP1 Session is up."}) {
            QCOMPARE(answer.body.count(marker), 1);
        }
    }

    void pageIsEncodedAsLabelled_data() {
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QByteArray>("umlaut");
        QTest::addColumn<QByteArray>("copyright");
        QTest::newRow("utf-8") << "utf-8" << QByteArray("B\xC3\xBCro") << QByteArray("\xC2\xA9");
        QTest::newRow("windows-1252")
            << "windows-1252" << QByteArray("B\xFCro") << QByteArray(" \xA9 ");
    }
    void pageIsEncodedAsLabelled() {
        QFETCH(QString, charset);
        QFETCH(QByteArray, umlaut);
        QFETCH(QByteArray, copyright);
        RouterSim sim({.password = "demo", .charset = charset.toStdString()});
        QVERIFY(sim.start());
        const Answer answer = Fetch(Url(sim, "/doc/syslog.htm"));
        QCOMPARE(answer.contentType, "text/html; charset=" + charset.toLatin1());
        QVERIFY(answer.body.contains(umlaut));
        QVERIFY(answer.body.contains(copyright));
    }

    void faultsAnswerAsAnnounced_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("location");  // %1 stands for the simulator's own origin
        QTest::newRow("403") << int(Fault::Status403) << 403 << "";
        QTest::newRow("404") << int(Fault::Status404) << 404 << "";
        QTest::newRow("500") << int(Fault::Status500) << 500 << "";
        QTest::newRow("same origin")
            << int(Fault::RedirectSameOrigin) << 302 << "%1/doc/syslog.htm?x=1&redirected=1";
        QTest::newRow("other host")
            << int(Fault::RedirectOtherHost) << 302 << "http://127.0.0.2:9/doc/syslog.htm?x=1";
        QTest::newRow("login page")
            << int(Fault::RedirectToLogin) << 302 << "/login.htm?next=/doc/syslog.htm";
        QTest::newRow("other log") << int(Fault::RedirectOtherLog) << 302 << "/doc/seclog.htm";
        QTest::newRow("elsewhere") << int(Fault::RedirectElsewhere) << 302 << "/doc/status.htm";
        QTest::newRow("no Location") << int(Fault::RedirectWithoutLocation) << 302 << "";
    }
    void faultsAnswerAsAnnounced() {
        QFETCH(int, fault);
        QFETCH(int, status);
        QFETCH(QString, location);
        RouterSim sim({.password = "demo", .redirectTarget = "http://127.0.0.2:9/"});
        sim.setFault(Fault(fault));
        QVERIFY(sim.start());
        const Answer answer = Fetch(Url(sim, "/doc/syslog.htm?x=1"), {});
        QCOMPARE(answer.status, status);
        const QString origin = Url(sim, QString());
        QCOMPARE(QString::fromUtf8(answer.location), location.replace("%1", origin));
        QVERIFY(!answer.body.contains("Firewall:"));
        if (fault == int(Fault::RedirectSameOrigin)) {
            QVERIFY(Fetch(QString::fromUtf8(answer.location)).body.contains("WAN IP is "));
        }
        if (fault == int(Fault::RedirectToLogin)) {
            const Answer login = Fetch(Url(sim, QString::fromUtf8(answer.location)), {});
            QCOMPARE(login.status, 200);
            QVERIFY(login.body.contains("type=\"password\""));
        }
    }

    void bodyFaults_data() {
        QTest::addColumn<int>("fault");
        QTest::newRow("empty") << int(Fault::EmptyPage);
        QTest::newRow("cut") << int(Fault::CutBody);
        QTest::newRow("huge") << int(Fault::HugeBody);
        QTest::newRow("binary") << int(Fault::BinaryBody);
        QTest::newRow("charset") << int(Fault::UnknownCharset);
        QTest::newRow("markup") << int(Fault::MarkersInMarkup);
    }
    void bodyFaults() {
        QFETCH(int, fault);
        RouterSim sim({.password = "demo", .hugeBodyBytes = 1u << 20, .firewallLines = 2});
        sim.setFault(Fault(fault));
        QVERIFY(sim.start());
        const Answer answer = Fetch(Url(sim, "/doc/syslog.htm"));
        QCOMPARE(answer.error != QNetworkReply::NoError, fault == int(Fault::CutBody));
        QCOMPARE(answer.body.isEmpty(), fault == int(Fault::EmptyPage));
        QCOMPARE(answer.body.size() > (1 << 20), fault == int(Fault::HugeBody));
        QCOMPARE(answer.body.contains('\0'), fault == int(Fault::BinaryBody));
        QCOMPARE(answer.contentType.contains("x-no-such-charset"),
                 fault == int(Fault::UnknownCharset));
        QCOMPARE(answer.body.count("Firewall:") > 2, fault == int(Fault::MarkersInMarkup));
    }

    // What each fault puts on the wire once the client is logged in.
    void rawAnswers_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("starts");
        QTest::addColumn<QByteArray>("holds");  // somewhere in the answer
        QTest::addColumn<QByteArray>("lacks");  // nowhere in the answer
        QTest::newRow("204") << int(Fault::Status204) << QByteArray("HTTP/1.1 204 ") << QByteArray()
                             << QByteArray("<html");
        QTest::newRow("304") << int(Fault::Status304) << QByteArray("HTTP/1.1 304 ") << QByteArray()
                             << QByteArray("<html");
        QTest::newRow("gzip") << int(Fault::GzipBody) << QByteArray("HTTP/1.1 200 ")
                              << QByteArray("\r\nContent-Encoding: gzip\r\n")
                              << QByteArray("<html");
        QTest::newRow("early hints")
            << int(Fault::EarlyHints) << QByteArray("HTTP/1.1 103 Early Hints\r\nLink: ")
            << QByteArray("\r\n\r\nHTTP/1.1 200 OK\r\n") << QByteArray();
        QTest::newRow("plain text")
            << int(Fault::PlainText) << QByteArray("HTTP/1.1 200 ")
            << QByteArray("\r\nContent-Type: text/plain; charset=utf-8\r\n") << QByteArray("<");
        QTest::newRow("octet stream")
            << int(Fault::OctetStream) << QByteArray("HTTP/1.1 200 ")
            << QByteArray("\r\nContent-Type: application/octet-stream\r\n") << QByteArray();
        QTest::newRow("not HTTP") << int(Fault::NotHttp) << QByteArray("QR-100 ") << QByteArray()
                                  << QByteArray("HTTP/");
        QTest::newRow("long reason")
            << int(Fault::LongReason) << QByteArray("HTTP/1.1 500 Internal Server Error overlong")
            << QByteArray("\r\n\r\n<html>") << QByteArray();
        QTest::newRow("header flood")
            << int(Fault::HeaderFlood) << QByteArray("HTTP/1.1 200 OK\r\n")
            << QByteArray("\r\nX-Flood-1000: ") << QByteArray("\r\n\r\n");
    }
    void rawAnswers() {
        QFETCH(int, fault);
        QFETCH(QByteArray, starts);
        QFETCH(QByteArray, holds);
        QFETCH(QByteArray, lacks);
        RouterSim sim({.password = "demo", .fault = Fault(fault)});
        QVERIFY(sim.start());
        const QByteArray answer = Exchange(sim, "/doc/syslog.htm", 2 << 20);
        QVERIFY2(answer.startsWith(starts), answer.left(80).constData());
        if (!holds.isEmpty()) QVERIFY(answer.contains(holds));
        if (!lacks.isEmpty()) QVERIFY(!answer.contains(lacks));
        if (fault == int(Fault::LongReason)) QVERIFY(answer.indexOf("\r\n") > (1 << 20));
    }

    void answersARequestThatComesLate() {
        RouterSim sim({.password = "demo"});
        QVERIFY(sim.start());
        QVERIFY(Exchange(sim, "/doc/syslog.htm", 4 << 20, 2'000).startsWith("HTTP/1.1 200 "));
    }

    // The whole page is announced at once and then sent one byte at a time; reading its start
    // is enough to see that.
    void trickleAnnouncesThePageAndSendsItsStart() {
        RouterSim sim({.password = "demo", .fault = Fault::Trickle, .trickleInterval = 1ms});
        QVERIFY(sim.start());
        const QByteArray answer = Exchange(sim, "/doc/syslog.htm", 300);
        sim.setFault(Fault::None);
        const QByteArray page = Fetch(Url(sim, "/doc/syslog.htm")).body;
        const qsizetype body = answer.indexOf("\r\n\r\n") + 4;
        QVERIFY(body > 4 && answer.startsWith("HTTP/1.1 200 OK\r\n"));
        QVERIFY(answer.contains("\r\nContent-Length: " + QByteArray::number(page.size())));
        QVERIFY(page.startsWith(answer.sliced(body)));
    }

    void neverAnswerHoldsTheConnectionUntilStop() {
        RouterSim sim({.password = "demo", .fault = Fault::NeverAnswer});
        QVERIFY(sim.start());
        QNetworkAccessManager network;
        QNetworkReply* reply = Get(network, Url(sim, "/doc/syslog.htm"), Basic("admin", "demo"));
        QTRY_COMPARE(sim.requests().size(), std::size_t(1));
        QCOMPARE(sim.requests()[0].status, 0);
        // Answered after the held request was taken: an answer to that one would be in by now.
        QCOMPARE(Fetch(Url(sim, "/login.htm")).status, 200);
        QVERIFY(!reply->isFinished());
        sim.stop();
        QTRY_VERIFY(reply->isFinished());
        QVERIFY(!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
        QVERIFY(reply->error() != QNetworkReply::NoError);
    }

    void refusesForeignAddressesAndBusyPorts() {
        RouterSim sim;
        QVERIFY(!sim.start("0.0.0.0"));
        QVERIFY(routersim::isLoopbackHost("127.0.0.2") && routersim::isLoopbackHost("::1"));
        QVERIFY(sim.start());
        QVERIFY(!RouterSim().start(sim.host(), sim.port()));
    }

    void logsFollowTheRouterLayout() {
        const auto now = std::chrono::system_clock::now();
        const QDateTime current = QDateTime::currentDateTime();
        const auto stamp = [](const QByteArray& line) {
            return QDateTime::fromString(QString::fromLatin1(line.left(19)), "MM/dd/yyyy HH:mm:ss");
        };
        const QByteArray system = QByteArray::fromStdString(routersim::makeSystemLog(now, 3));
        QCOMPARE(system.count("Firewall:"), 3);
        for (const QByteArray& line : system.split('\n')) {
            QVERIFY2(stamp(line).isValid() && line.mid(19, 2) == "  ", line.constData());
            QVERIFY(stamp(line).secsTo(current) >= 0 && stamp(line).daysTo(current) <= 2);
        }
        const auto ago = [&](const char* marker) {
            const qsizetype p = system.indexOf(marker);
            return stamp(system.mid(p - 21, 19)).secsTo(current) / 3600.0;
        };
        QVERIFY(ago("Received time from Time Server") > 1 &&
                ago("Received time from Time Server") < 12);
        QVERIFY(ago("PPP1 Session is up.") > 24 && ago("PPP1 Session is up.") < 48);

        QSet<int> years;
        for (const QByteArray& line : Lines(routersim::makeSecurityLog(now))) {
            QVERIFY2(stamp(line).isValid() && stamp(line) <= current, line.constData());
            years.insert(stamp(line).date().year());
        }
        QCOMPARE(years, (QSet<int>{current.date().year(), current.date().year() - 1}));
    }
};

QTEST_GUILESS_MAIN(TestRouterSim)
#include "tst_router_sim.moc"
