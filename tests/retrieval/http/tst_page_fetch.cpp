#include "closed_port.h"
#include "page_fetch.h"
#include "result_sentences.h"
#include "retrieval/scripted_router.h"
#include "router_sim.h"

#include <QSignalSpy>
#include <QtTest>

using namespace quorvane;
using Kind = PageFailure::Kind;
using routersim::Fault;

namespace {

constexpr int kWaitMs = 20'000;
constexpr int kPage = -1;  // the expected outcome is a page, not a failure kind

const FetchCredentials kLogin{QStringLiteral("admin"), QStringLiteral("demo")};

struct Outcome {
    std::optional<FetchedPage> page;
    std::optional<PageFailure> failure;
    QString sentence;
};

// Runs one fetch to its end and checks that it says exactly one thing.
Outcome Fetch(const QUrl& url, CredentialKeeper& keeper, const FetchLimits& limits = {},
              RedirectPolicy policy = RedirectPolicy::SamePath) {
    PageFetch fetch(url, &keeper, policy, limits);
    QSignalSpy finished(&fetch, &PageFetch::finished);
    QSignalSpy failed(&fetch, &PageFetch::failed);
    fetch.start();
    if (!QTest::qWaitFor([&] { return finished.count() + failed.count() > 0; }, kWaitMs)) {
        return {};
    }
    QCoreApplication::processEvents();  // a second signal would show here
    Outcome outcome;
    if (finished.count() == 1 && failed.count() == 0) {
        outcome.page = finished.at(0).at(0).value<FetchedPage>();
    } else if (failed.count() == 1 && finished.count() == 0) {
        outcome.failure = failed.at(0).at(0).value<PageFailure>();
        outcome.sentence = FailureSentence(*outcome.failure);
    }
    return outcome;
}

Outcome Fetch(const QUrl& url, const FetchCredentials& credentials = kLogin,
              const FetchLimits& limits = {}, RedirectPolicy policy = RedirectPolicy::SamePath) {
    CredentialKeeper keeper;
    keeper.keep(url, credentials);
    return Fetch(url, keeper, limits, policy);
}

QUrl SimUrl(const routersim::RouterSim& sim, const QString& path = "/doc/syslog.htm") {
    return QUrl(QStringLiteral("http://%1:%2%3")
                    .arg(QString::fromStdString(sim.host()))
                    .arg(sim.port())
                    .arg(path));
}

// "-" for a request without credentials, "B" for one with the right Basic credentials.
QString Authorizations(const std::vector<routersim::ReceivedRequest>& requests) {
    const std::string basic = "Basic " + QByteArray("admin:demo").toBase64().toStdString();
    QStringList marks;
    for (const auto& request : requests) {
        marks << (request.authorization.empty()    ? QStringLiteral("-")
                  : request.authorization == basic ? QStringLiteral("B")
                                                   : QStringLiteral("?"));
    }
    return marks.join(u',');
}

QByteArray Answer(const QByteArray& statusLine, const QByteArray& fields = {},
                  const QByteArray& body = "<html><body>log</body></html>") {
    return "HTTP/1.1 " + statusLine + "\r\n" + fields +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

class TestPageFetch : public QObject {
    Q_OBJECT

private slots:
    // Each rule of what counts as the page, against the demo router's faults.
    void routerAnswers_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("kind");  // kPage or a PageFailure::Kind
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");  // in the sentence, or in the final URL for a page
        QTest::addColumn<QString>("authorizations");
        const QString pw = QStringLiteral("demo");
        const auto row = [](const char* name, Fault fault, const QString& password, int kind,
                            int status, const QString& says, const QString& authorizations) {
            QTest::newRow(name) << fault << password << kind << status << says << authorizations;
        };
        row("the log page", Fault::None, pw, kPage, 200, "/doc/syslog.htm", "-,B");
        row("wrong password", Fault::None, "wrong", int(Kind::PasswordRefused), 401,
            "refused the password (HTTP 401 Unauthorized)", "-,?");
        row("403", Fault::Status403, pw, int(Kind::HttpStatus), 403, "(HTTP 403 Forbidden)", "-");
        row("404", Fault::Status404, pw, int(Kind::HttpStatus), 404, "(HTTP 404 Not Found)", "-");
        row("500", Fault::Status500, pw, int(Kind::HttpStatus), 500,
            "answered with an error (HTTP 500 Internal Server Error)", "-");
        row("204", Fault::Status204, pw, int(Kind::HttpStatus), 204,
            "answered with status 204 (No Content) instead of its log page", "-,B");
        row("304", Fault::Status304, pw, int(Kind::HttpStatus), 304, "status 304 (Not Modified)",
            "-,B");
        row("302 without Location", Fault::RedirectWithoutLocation, pw,
            int(Kind::RedirectWithoutTarget), 302, "without a usable address", "-");
        row("gzip although identity was asked", Fault::GzipBody, pw, int(Kind::ContentEncoded), 200,
            "sent its page compressed (gzip), which was not asked for", "-,B");
        row("103 Early Hints, then the page", Fault::EarlyHints, pw, kPage, 200, "syslog", "-,B");
        row("plain text is a page", Fault::PlainText, pw, kPage, 200, "syslog", "-,B");
        row("same path, other query", Fault::RedirectSameOrigin, pw, kPage, 200,
            "/doc/syslog.htm?redirected=1", "-,-,B");
        row("redirect to the login page", Fault::RedirectToLogin, pw, int(Kind::OtherPath), 302,
            "answered with a login page instead of its log (/login.htm).", "-");
        row("redirect to the other log", Fault::RedirectOtherLog, pw, int(Kind::OtherPath), 302,
            "with another page instead of its log (/doc/seclog.htm).", "-");
        row("redirect to a third page", Fault::RedirectElsewhere, pw, int(Kind::OtherPath), 302,
            "(/doc/status.htm)", "-");
        row("not HTTP", Fault::NotHttp, pw, int(Kind::NotHttp), 0, "is not an HTTP answer", "-");
        row("header flood", Fault::HeaderFlood, pw, int(Kind::HeaderTooLarge), 0,
            "sent more than 64 KiB of headers; the fetch was stopped", "-");
        row("body beyond 32 MiB", Fault::HugeBody, pw, int(Kind::TooLarge), 0, "larger than 32 MiB",
            "-,B");
        row("cut body", Fault::CutBody, pw, int(Kind::Cut), 0,
            "closed the connection before the page was complete", "-,B");
        row("1 MiB reason phrase", Fault::LongReason, pw, int(Kind::HeaderTooLarge), 0,
            "more than 64 KiB of headers", "-");
    }
    void routerAnswers() {
        QFETCH(Fault, fault);
        QFETCH(QString, password);
        QFETCH(int, kind);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(QString, authorizations);
        routersim::RouterSim sim({.password = "demo", .fault = fault});
        QVERIFY(sim.start());
        const Outcome outcome = Fetch(SimUrl(sim), {QStringLiteral("admin"), password});
        if (outcome.failure) qInfo("%s", qPrintable(outcome.sentence));
        if (kind == kPage) {
            QVERIFY2(outcome.page, qPrintable(outcome.sentence));
            QCOMPARE(outcome.page->status, status);
            QVERIFY2(outcome.page->url.toString().contains(says),
                     qPrintable(outcome.page->url.toString()));
            QVERIFY(outcome.page->body.contains("WAN IP is "));
        } else {
            QVERIFY(outcome.failure);
            QCOMPARE(int(outcome.failure->kind), kind);
            QCOMPARE(outcome.failure->httpStatus, status);
            QVERIFY2(outcome.sentence.contains(says), qPrintable(outcome.sentence));
        }
        QCOMPARE(Authorizations(sim.requests()), authorizations);
    }

    // Limits are injectable, so a test sees each one trip without waiting out the real ones.
    void limits_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("idleMs");
        QTest::addColumn<qint64>("maxHeader");
        QTest::addColumn<qint64>("maxTotal");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("says");
        const qint64 h = 64 << 10;
        const qint64 t = 32 << 20;
        QTest::newRow("silence") << Fault::NeverAnswer << 200 << h << t << int(Kind::NoAnswer)
                                 << "did not answer within 0.2 seconds.";
        QTest::newRow("a trickle between the limits")
            << Fault::Trickle << 300 << h << t << int(Kind::Stalled)
            << "sent nothing for 0.3 seconds before the page was complete";
        QTest::newRow("total") << Fault::None << 30'000 << h << qint64(1000) << int(Kind::TooLarge)
                               << "The page is larger than 1000 bytes; the fetch was stopped.";
        QTest::newRow("header") << Fault::None << 30'000 << qint64(100) << t
                                << int(Kind::HeaderTooLarge) << "more than 100 bytes of headers";
        // With room for it, the reason phrase is read, and the sentence still stays short.
        QTest::newRow("1 MiB reason phrase within the header limit")
            << Fault::LongReason << 30'000 << qint64(2 << 20) << t << int(Kind::HttpStatus)
            << "answered with an error (HTTP 500 Internal Server Error overlong reason";
    }
    void limits() {
        QFETCH(Fault, fault);
        QFETCH(int, idleMs);
        QFETCH(qint64, maxHeader);
        QFETCH(qint64, maxTotal);
        QFETCH(int, kind);
        QFETCH(QString, says);
        routersim::RouterSim sim(
            {.password = "demo", .fault = fault, .trickleInterval = std::chrono::seconds(5)});
        QVERIFY(sim.start());
        const Outcome outcome = Fetch(SimUrl(sim), kLogin, {{maxHeader, maxTotal}, idleMs});
        if (outcome.failure) qInfo("%s", qPrintable(outcome.sentence));
        QVERIFY(outcome.failure);
        QCOMPARE(int(outcome.failure->kind), kind);
        QVERIFY2(outcome.sentence.contains(says), qPrintable(outcome.sentence));
        QVERIFY(outcome.sentence.size() <= kMaxFailureSentence);
        for (const QChar c : outcome.sentence) {
            QVERIFY2(c.category() != QChar::Other_Control && c.category() != QChar::Other_Format,
                     qPrintable(QString::number(c.unicode(), 16)));
        }
    }

    // The credentials go nowhere but to the origin asked for: a redirect elsewhere is not
    // followed at all.
    void otherOriginsAreNeverAsked_data() {
        QTest::addColumn<QString>("targetHost");
        QTest::newRow("other address") << "127.0.0.2";
        QTest::newRow("other port") << "127.0.0.1";
    }
    void otherOriginsAreNeverAsked() {
        QFETCH(QString, targetHost);
        routersim::RouterSim target({.password = "demo"});
        if (!target.start(targetHost.toStdString())) QSKIP("cannot listen on that address here");
        const std::string elsewhere =
            "http://" + target.host() + ":" + std::to_string(target.port());
        routersim::RouterSim sim(
            {.password = "demo", .fault = Fault::RedirectOtherHost, .redirectTarget = elsewhere});
        QVERIFY(sim.start());
        const Outcome outcome = Fetch(SimUrl(sim));
        if (outcome.failure) qInfo("%s", qPrintable(outcome.sentence));
        QVERIFY(outcome.failure);
        QCOMPARE(outcome.failure->kind, Kind::OtherOrigin);
        const QString expected =
            QStringLiteral(
                "The router sent its answer to another address (%1/doc/syslog.htm); "
                "nothing was read there.")
                .arg(QString::fromStdString(elsewhere));
        QCOMPARE(outcome.sentence, expected);
        QVERIFY(target.requests().empty());
        QCOMPARE(Authorizations(sim.requests()), QStringLiteral("-"));
    }

    // One rule of whom an address belongs to, for the keeper, the fetch and the engine; each row
    // is one on which their former copies disagreed.
    void origins_data() {
        QTest::addColumn<QUrl>("a");
        QTest::addColumn<QUrl>("b");
        QTest::addColumn<bool>("same");
        QTest::addColumn<QString>("authority");  // of a
        QTest::newRow("https's own port is not 80")
            << QUrl("https://router/") << QUrl("https://router:80/") << false << "router:443";
        QTest::newRow("the scheme counts")
            << QUrl("router://router:80/") << QUrl("http://router/") << false << "router:80";
        QTest::newRow("IPv6 in brackets")
            << QUrl("http://[::1]:8080/") << QUrl("http://[0::1]:8080") << true << "[::1]:8080";
    }
    void origins() {
        QFETCH(QUrl, a);
        QFETCH(QUrl, b);
        QFETCH(bool, same);
        QCOMPARE(Origin(a) == Origin(b), same);
        QTEST(Origin(a).authority(), "authority");
    }

    // Once its router has asked, every request to that origin carries the credentials at once;
    // never before, and never to another origin.
    void credentialsGoAtOnceOnlyWhereAsked() {
        routersim::RouterSim sim({.password = "demo"});
        routersim::RouterSim other({.password = "demo"});
        QVERIFY(sim.start() && other.start());
        CredentialKeeper keeper;
        keeper.keep(SimUrl(sim), kLogin);
        for (const char* path : {"/doc/syslog.htm", "/doc/seclog.htm", "/doc/syslog.js"})
            QVERIFY(Fetch(SimUrl(sim, path), keeper, {}, RedirectPolicy::AnyPath).page);
        QCOMPARE(Fetch(SimUrl(other), keeper).failure->kind, Kind::LoginNotOffered);
        QCOMPARE(Authorizations(sim.requests()), QStringLiteral("-,B,B,B"));
        QCOMPARE(Authorizations(other.requests()), QStringLiteral("-"));
    }

    // Answers the demo router does not give, byte for byte.
    void scriptedAnswers_data() {
        QTest::addColumn<QList<QByteArray>>("answers");
        QTest::addColumn<RedirectPolicy>("policy");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("requests");
        const QByteArray ok = Answer("200 OK");
        const QByteArray basic = "WWW-Authenticate: Basic realm=\"r\"\r\n";
        const auto same = RedirectPolicy::SamePath;
        QTest::newRow("redirect loop")
            << QList<QByteArray>{Answer("302 Found", "Location: /doc/syslog.htm?again\r\n")} << same
            << int(Kind::TooManyRedirects) << "too many times" << 11;
        QTest::newRow("path in other letter case")
            << QList<QByteArray>{Answer("301 Moved", "Location: /DOC/SysLog.htm?x#top\r\n"), ok}
            << same << kPage << "/DOC/SysLog.htm?x" << 2;
        QTest::newRow("resource fetched from another path")
            << QList<QByteArray>{Answer("307 Temporary", "Location: /style/main.css\r\n"), ok}
            << RedirectPolicy::AnyPath << kPage << "/style/main.css" << 2;
        QTest::newRow("two Locations")
            << QList<QByteArray>{Answer("302 Found", "Location: /a\r\nLocation: /b\r\n")} << same
            << int(Kind::RedirectWithoutTarget) << "(HTTP 302 Found)" << 1;
        QTest::newRow("to https on the same host")
            << QList<QByteArray>{Answer("308 Permanent",
                                        "Location: https://127.0.0.1/doc/syslog.htm\r\n")}
            << same << int(Kind::OtherOrigin) << "(https://127.0.0.1/doc/syslog.htm)" << 1;
        QTest::newRow("Basic among other challenges")
            << QList<QByteArray>{Answer("401 Unauthorized",
                                        "WWW-Authenticate: Digest realm=\"a, Basic b\", "
                                        "nonce=1, Basic realm=\"r\"\r\n"),
                                 ok}
            << same << kPage << "/doc/syslog.htm" << 2;
        QTest::newRow("no Basic challenge")
            << QList<QByteArray>{Answer("401 Unauthorized",
                                        "WWW-Authenticate: Digest realm=\"Basic\"\r\n")}
            << same << int(Kind::LoginNotOffered) << "cannot give (HTTP 401 Unauthorized)" << 1;
        QTest::newRow("challenged twice")
            << QList<QByteArray>{Answer("401 Unauthorized", basic)} << same
            << int(Kind::PasswordRefused) << "refused the password" << 2;
        QTest::newRow("closed without a byte")
            << QList<QByteArray>{""} << same << int(Kind::ClosedWithoutAnswer)
            << "closed the connection without answering" << 1;
        QTest::newRow("two lengths")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n"
                                 "abcd"}
            << same << int(Kind::Malformed)
            << "breaks the rules of HTTP (two different Content-Length values)" << 1;
        QTest::newRow("transfer coding")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n"
                                 "2\r\nzz\r\n0\r\n\r\n"}
            << same << int(Kind::ContentEncoded) << "compressed (gzip)" << 1;
        QTest::newRow("identity coding is no coding")
            << QList<QByteArray>{Answer("200 OK", "Content-Encoding: identity\r\n")} << same
            << kPage << "/doc/syslog.htm" << 1;
        QTest::newRow("101") << QList<QByteArray>{Answer("101 Switching Protocols")} << same
                             << int(Kind::HttpStatus) << "status 101 (Switching Protocols)" << 1;
        QTest::newRow("206") << QList<QByteArray>{Answer("206 Partial Content")} << same
                             << int(Kind::HttpStatus) << "status 206 (Partial Content)" << 1;
        QTest::newRow("reason phrase with control characters")
            << QList<QByteArray>{Answer("404 Not\x01\x1b[0m Found\xe2\x80\xae")} << same
            << int(Kind::HttpStatus) << "(HTTP 404 Not[0m Found)." << 1;
    }
    void scriptedAnswers() {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(RedirectPolicy, policy);
        QFETCH(int, kind);
        QFETCH(QString, says);
        QFETCH(int, requests);
        ScriptedRouter router(answers);
        const Outcome outcome = Fetch(router.url(), kLogin, {}, policy);
        if (outcome.failure) qInfo("%s", qPrintable(outcome.sentence));
        if (kind == kPage) {
            QVERIFY2(outcome.page, qPrintable(outcome.sentence));
            QVERIFY2(outcome.page->url.toString().contains(says),
                     qPrintable(outcome.page->url.toString()));
            QVERIFY(!outcome.page->url.toString().contains(u'#'));
        } else {
            QVERIFY(outcome.failure);
            QCOMPARE(int(outcome.failure->kind), kind);
            QVERIFY2(outcome.sentence.contains(says), qPrintable(outcome.sentence));
        }
        QCOMPARE(router.requests.size(), requests);
        for (qsizetype i = 0; i < router.requests.size(); ++i) {
            const QByteArray& request = router.requests[i];
            QVERIFY(request.contains("\r\nAccept-Encoding: identity\r\n"));
            QVERIFY(request.contains("\r\nConnection: close\r\n"));
            QVERIFY(request.contains(
                QStringLiteral("\r\nHost: 127.0.0.1:%1\r\n").arg(router.port()).toLatin1()));
            // Credentials only in answer to a Basic challenge.
            const bool challenged =
                i > 0 &&
                answers.value(std::min(i - 1, answers.size() - 1)).startsWith("HTTP/1.1 401");
            QCOMPARE(request.contains("\r\nAuthorization: Basic YWRtaW46ZGVtbw==\r\n"), challenged);
        }
    }

    // Whatever the router sends, each sentence stays short and free of control characters.
    void everySentenceIsShortAndPlain() {
        const QString flood =
            QString(1 << 20, u'x') + QStringLiteral("\x01\x1b[31m\u202e\u2028\x7f\u0085end");
        for (int kind = 0; kind <= int(Kind::ContentEncoded); ++kind) {
            const QString sentence = FailureSentence(
                PageFailure::make(Kind(kind), flood.right(2000), flood + flood, 500));
            QVERIFY2(sentence.size() > 20 && sentence.size() <= kMaxFailureSentence,
                     qPrintable(sentence));
            for (const QChar c : sentence) {
                QVERIFY2(c.category() != QChar::Other_Control &&
                             c.category() != QChar::Other_Format &&
                             c.category() != QChar::Separator_Line,
                         qPrintable(sentence));
            }
        }
    }

    void challengesOfferingBasic_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<bool>("offers");
        QTest::newRow("Basic") << QByteArray("Basic realm=\"ADSL Router\"") << true;
        QTest::newRow("lower case, no parameters") << QByteArray("basic") << true;
        QTest::newRow("after another scheme") << QByteArray("Newauth realm=\"x\", Basic") << true;
        QTest::newRow("a parameter named Basic") << QByteArray("Newauth basic=1") << false;
        QTest::newRow("inside a quoted string")
            << QByteArray("Digest realm=\"x, Basic realm=y\"") << false;
        QTest::newRow("a longer scheme name") << QByteArray("BasicPlus realm=x") << false;
        QTest::newRow("a token68 value") << QByteArray("Negotiate Basic") << false;
    }
    void challengesOfferingBasic() {
        QFETCH(QByteArray, field);
        QFETCH(bool, offers);
        QCOMPARE(OffersBasicChallenge({field}), offers);
    }

    void unreachableRouters_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("refused") << "127.0.0.1" << ClosedPort() << int(Kind::ConnectionRefused)
                                 << "refused the connection";
        QTest::newRow("no such host") << "no-such-router.invalid" << 80 << int(Kind::HostNotFound)
                                      << "The router address no-such-router.invalid could not "
                                         "be found.";
    }
    void unreachableRouters() {
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(int, kind);
        QFETCH(QString, says);
        const Outcome outcome =
            Fetch(QUrl(QStringLiteral("http://%1:%2/doc/syslog.htm").arg(host).arg(port)));
        if (outcome.failure) qInfo("%s", qPrintable(outcome.sentence));
        QVERIFY(outcome.failure);
        QCOMPARE(int(outcome.failure->kind), kind);
        QVERIFY2(outcome.sentence.contains(says), qPrintable(outcome.sentence));
    }

    // Destruction closes the connection there and then, and nothing is said afterwards.
    void destroyingAFetchDropsItsConnection() {
        ScriptedRouter router({});
        auto* fetch = new PageFetch(router.url(), nullptr, RedirectPolicy::SamePath, {});
        int emitted = 0;
        connect(fetch, &PageFetch::finished, this, [&] { ++emitted; });
        connect(fetch, &PageFetch::failed, this, [&] { ++emitted; });
        fetch->start();
        QVERIFY(QTest::qWaitFor(
            [&] { return !router.requests.isEmpty() && router.requests[0].endsWith("\r\n\r\n"); },
            kWaitMs));
        delete fetch;
        QVERIFY(QTest::qWaitFor([&] { return router.closed == 1; }, kWaitMs));
        QCOMPARE(emitted, 0);
    }

    // A page's dozen files are asked for at once, yet the router never holds more connections
    // from us than a browser opens: it answers none until that many have asked, so more would show.
    void opensNoMoreConnectionsToARouterThanABrowser() {
        QTcpServer router;
        QVERIFY(router.listen(QHostAddress::LocalHost));
        qsizetype open = 0, most = 0;
        QList<QTcpSocket*> asked;
        connect(&router, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* socket = router.nextPendingConnection()) {
                most = std::max(most, ++open);
                connect(socket, &QTcpSocket::readyRead, this, [&, socket] {
                    if (!socket->peek(4096).endsWith("\r\n\r\n")) return;
                    asked.append(socket);
                    if (asked.size() < ConnectionSlot::kPerServer) return;
                    for (QTcpSocket* answered : std::exchange(asked, {})) {
                        --open;
                        answered->write("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx");
                        answered->disconnectFromHost();
                    }
                });
            }
        });
        const QUrl url(QStringLiteral("http://127.0.0.1:%1/f.js").arg(router.serverPort()));
        int finished = 0;
        std::vector<std::unique_ptr<PageFetch>> fetches;
        for (int i = 0; i < 2 * ConnectionSlot::kPerServer; ++i) {
            fetches.push_back(
                std::make_unique<PageFetch>(url, nullptr, RedirectPolicy::AnyPath, FetchLimits{}));
            connect(fetches.back().get(), &PageFetch::finished, this, [&] { ++finished; });
            fetches.back()->start();
        }
        QVERIFY(QTest::qWaitFor([&] { return finished == int(fetches.size()); }, kWaitMs));
        QCOMPARE(most, qsizetype(ConnectionSlot::kPerServer));
    }
};

QTEST_GUILESS_MAIN(TestPageFetch)
#include "tst_page_fetch.moc"
