#include "closed_port.h"
#include "engine_client.h"
#include "helper_environment.h"
#include "page_loader.h"
#include "request_url.h"
#include "result_sentences.h"
#include "retrieval/scripted_router.h"
#include "router_sim.h"
#include "static_page_reader.h"

#include <QSignalSpy>
#include <QtTest>

using namespace quorvane;

namespace {

constexpr int kWaitMs = 20'000;

QUrl LogUrl(const routersim::RouterSim& sim, const QString& password,
            LogKind kind = LogKind::System) {
    return ComposeRouterUrl(
               {password, QString::fromStdString(sim.host()), QString::number(sim.port())},
               LogPagePath(kind))
        .url;
}

// What a failed navigation says in the results box.
QString Said(const QSignalSpy& failed, int at = 0) {
    return FailureSentence(failed.at(at).at(1).value<PageFailure>());
}
int StatusOf(const QSignalSpy& failed) {
    return failed.at(0).at(1).value<PageFailure>().httpStatus;
}

}  // namespace

class TestPageLoader : public QObject {
    Q_OBJECT

    PageReaders readers_;
    PageLoader* loader_ = nullptr;

    PageLoader* freshInstance() {
        delete loader_;
        loader_ = new PageLoader(&readers_);
        return loader_;
    }

private slots:
    void initTestCase() {
        SetHelperCommand(Helper::PageReader, {QStringLiteral(QUORVANE_PAGE_READER)});
        SetHelperCommand(Helper::Engine, {QStringLiteral(QUORVANE_ENGINE_HELPER)});
    }
    void init() {
        readers_.setLimits({});
        freshInstance();
    }
    void cleanupTestCase() { delete loader_; }

    void aboutBlankCompletesEmptyAndLater() {
        PageLoader* browser = loader_;
        QSignalSpy complete(loader_, &PageSource::DocumentComplete);
        browser->Navigate(QUrl("about:blank"));
        QCOMPARE(complete.count(), 0);  // never inside the call
        QVERIFY(complete.wait(kWaitMs));
        QCOMPARE(complete.at(0).at(0).toString(), QStringLiteral("about:blank"));
        QVERIFY(browser->bodyText().isEmpty());
    }

    void fetchesLogWithCredentials_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("plain") << "demo";
        QTest::newRow("url syntax and blank") << "a@b:c/d#e%f g";
        QTest::newRow("non-ascii") << QString::fromUtf8("grüße€");
    }
    void fetchesLogWithCredentials() {
        QFETCH(QString, password);
        routersim::RouterSim sim({.password = password.toStdString()});
        QVERIFY(sim.start());
        QSignalSpy complete(loader_, &PageSource::DocumentComplete);
        QSignalSpy failed(loader_, &PageSource::NavigateError);
        loader_->Navigate(LogUrl(sim, password));
        QVERIFY(complete.wait(kWaitMs));
        QCOMPARE(failed.count(), 0);
        const QString url = complete.at(0).at(0).toString();
        QVERIFY(url.endsWith(QStringLiteral("/doc/syslog.htm")));
        QVERIFY2(!url.contains(password), "the reported URL must not carry the password");
        QVERIFY(loader_->documentUrl().userInfo().isEmpty());
        QVERIFY(loader_->bodyText().contains(QStringLiteral("WAN IP is ")));
        QVERIFY(loader_->bodyText().endsWith(QStringLiteral("\r\n")));
    }

    void failuresAreReportedAsFailures_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        using routersim::Fault;
        QTest::newRow("wrong password") << int(Fault::None) << "wrong" << 401 << "password";
        QTest::newRow("403") << int(Fault::Status403) << "demo" << 403 << "403";
        QTest::newRow("404") << int(Fault::Status404) << "demo" << 404 << "404";
        QTest::newRow("500") << int(Fault::Status500) << "demo" << 500 << "500";
        QTest::newRow("204") << int(Fault::Status204) << "demo" << 204
                             << "answered with status 204 (No Content) instead of its log page.";
        QTest::newRow("login page") << int(Fault::RedirectToLogin) << "demo" << 302
                                    << "with a login page instead of its log (/login.htm).";
        QTest::newRow("not HTTP") << int(Fault::NotHttp) << "demo" << 0
                                  << "The router's answer is not an HTTP answer.";
        QTest::newRow("octet-stream") << int(Fault::OctetStream) << "demo" << 0
                                      << "other than a web page (application/octet-stream).";
        QTest::newRow("binary labelled as HTML")
            << int(Fault::BinaryBody) << "demo" << 0 << "binary data instead of its log page.";
    }
    void failuresAreReportedAsFailures() {
        QFETCH(int, fault);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QString, says);
        routersim::RouterSim sim({.password = "demo", .fault = routersim::Fault(fault)});
        QVERIFY(sim.start());
        QSignalSpy complete(loader_, &PageSource::DocumentComplete);
        QSignalSpy failed(loader_, &PageSource::NavigateError);
        loader_->Navigate(LogUrl(sim, password));
        QVERIFY(failed.wait(kWaitMs));
        QCOMPARE(complete.count(), 0);
        QCOMPARE(StatusOf(failed), status);
        const QString message = Said(failed);
        QVERIFY2(message.contains(says), qPrintable(message));
        QVERIFY(!message.contains(password) || password == QLatin1String("demo"));
    }

    // A log served as a text file is read as a browser shows one: line for line.
    void plainTextIsText() {
        routersim::RouterSim sim({.password = "demo", .fault = routersim::Fault::PlainText});
        QVERIFY(sim.start());
        QSignalSpy complete(loader_, &PageSource::DocumentComplete);
        loader_->Navigate(LogUrl(sim, "demo"));
        QVERIFY(complete.wait(kWaitMs));
        QString log = QString::fromStdString(sim.systemLog());
        log.replace(u'\n', QStringLiteral("\r\n"));
        QCOMPARE(loader_->bodyText(), log + QStringLiteral("\r\n"));
    }

    void connectionRefusedIsAFailure() {
        QSignalSpy failed(loader_, &PageSource::NavigateError);
        loader_->Navigate(ComposeRouterUrl({"pw", "127.0.0.1", QString::number(ClosedPort())},
                                           LogPagePath(LogKind::System))
                              .url);
        QVERIFY(failed.wait(kWaitMs));
        QVERIFY(Said(failed).contains(QStringLiteral("refused the connection")));
    }

    void sameOriginRedirectKeepsCredentials() {
        routersim::RouterSim sim(
            {.password = "demo", .fault = routersim::Fault::RedirectSameOrigin});
        QVERIFY(sim.start());
        QSignalSpy complete(loader_, &PageSource::DocumentComplete);
        loader_->Navigate(LogUrl(sim, "demo"));
        QVERIFY(complete.wait(kWaitMs));
        QVERIFY(complete.at(0).at(0).toString().endsWith(
            QStringLiteral("/doc/syslog.htm?redirected=1")));
        QVERIFY(loader_->bodyText().contains(QStringLiteral("WAN IP is ")));
    }

    // The clear's answer is the router's word, not a page: any 2xx confirms it, whatever its body.
    // Like the page's own script, it carries the credentials at once: the router has asked.
    void clearIsAnsweredByItsStatus_data() {
        QTest::addColumn<routersim::Fault>("fault");
        QTest::addColumn<QString>("says");  // in txtLog; empty: confirmed
        QTest::newRow("200, the log page") << routersim::Fault::None << "";
        QTest::newRow("200, binary data") << routersim::Fault::BinaryBody << "";
        QTest::newRow("200, compressed") << routersim::Fault::GzipBody << "";
        QTest::newRow("204") << routersim::Fault::Status204 << "";
        QTest::newRow("500") << routersim::Fault::Status500
                             << "The router did not confirm that it cleared its log: The router "
                                "answered with an error (HTTP 500 Internal Server Error).\r\n";
    }
    void clearIsAnsweredByItsStatus() {
        QFETCH(routersim::Fault, fault);
        QFETCH(QString, says);
        routersim::RouterSim sim({.password = "demo", .style = routersim::PageStyle::ScriptFile});
        QVERIFY(sim.start());
        QSignalSpy complete(loader_, &PageSource::DocumentComplete);
        QSignalSpy failed(loader_, &PageSource::NavigateError);
        PageLoader* browser = loader_;
        browser->Navigate(LogUrl(sim, "demo"));
        QVERIFY(complete.wait(kWaitMs));
        sim.setFault(fault);
        const QUrl clear = ClearRequestUrl(browser->documentUrl(), LogKind::System);
        browser->Submit(clear);
        QVERIFY(QTest::qWaitFor([&] { return complete.count() + failed.count() == 2; }, kWaitMs));
        if (says.isEmpty())
            QCOMPARE(complete.at(1).at(0).toString(), clear.toString());
        else
            QCOMPARE(ClearNotConfirmedLine(Said(failed)) + "\r\n", says);
        QCOMPARE(sim.clearsPerformed(), says.isEmpty() ? 1 : 0);
        const auto requests =
            sim.requests();  // the page, challenged and read; its script; the clear
        QCOMPARE(requests.size(), std::size_t(4));
        for (std::size_t i = 0; i < requests.size(); ++i)
            QCOMPARE(requests[i].authorization.empty(), i == 0);
    }

    // No log page hears what a page's script asks with the user's credentials (a clear in any
    // spelling, the other log, a log through another page), and the page still reads.
    void pageAsksNothingOfTheLogs() {
        routersim::RouterSim sim(
            {.password = "demo",
             .pageScript =
                 "for (const u of ['/doc/syslog.htm?WINDWEB_URL=/doc/syslog.htm&clearlog=0',"
                 "'/doc/seclog.htm?WINDWEB_URL=/doc/seclog.htm&clearlog=0',"
                 "'/DOC/SYSLOG.HTM?WINDWEB_URL=/DOC/SYSLOG.HTM&CLEARLOG=0',"
                 "'/doc/sys%6Cog.htm?%63learlog=0', '/doc/x/..%2Fseclog.htm?clearlog=0',"
                 "'/doc/status.htm?WINDWEB_URL=/doc/syslog.htm', '/doc/seclog.htm',"
                 "'/doc/syslog.htm?x=1']) { const x = new XMLHttpRequest();"
                 "x.open('GET', u); x.send(); }"});
        QVERIFY(sim.start());
        QSignalSpy complete(loader_, &PageSource::DocumentComplete);
        loader_->Navigate(LogUrl(sim, "demo"));
        QVERIFY(complete.wait(kWaitMs));
        QVERIFY(loader_->bodyText().contains(QStringLiteral("WAN IP is ")));
        QCOMPARE(sim.clearRequestCount(), 0);
        for (const routersim::ReceivedRequest& request : sim.requests()) {
            const QString target =
                QUrl::fromPercentEncoding(QByteArray::fromStdString(request.target)).toLower();
            QVERIFY2(target == "/doc/syslog.htm" ||
                         !target.contains(QRegularExpression("log.htm|clear")),
                     request.target.c_str());
        }
    }

    // Limits set on the readers reach the navigations that start after.
    void fetchLimitsReachTheInstances() {
        routersim::RouterSim sim({.password = "demo", .fault = routersim::Fault::NeverAnswer});
        QVERIFY(sim.start());
        NavigationLimits limits;
        limits.fetch.idleTimeoutMs = 100;
        readers_.setLimits(limits);
        QSignalSpy failed(loader_, &PageSource::NavigateError);
        loader_->Navigate(LogUrl(sim, "demo"));
        QVERIFY(failed.wait(kWaitMs));
        const QString message = Said(failed);
        QVERIFY2(message.endsWith(QStringLiteral("did not answer within 0.1 seconds.")),
                 qPrintable(message));
    }

    void redirectToAnotherOriginIsNotFollowed_data() {
        QTest::addColumn<QString>("targetHost");
        QTest::newRow("other address") << "127.0.0.2";
        QTest::newRow("other port") << "127.0.0.1";
    }
    void redirectToAnotherOriginIsNotFollowed() {
        QFETCH(QString, targetHost);
        routersim::RouterSim target({.password = "demo"});
        if (!target.start(targetHost.toStdString())) QSKIP("cannot listen on that address here");
        routersim::RouterSim sim(
            {.password = "demo",
             .fault = routersim::Fault::RedirectOtherHost,
             .redirectTarget = "http://" + target.host() + ":" + std::to_string(target.port())});
        QVERIFY(sim.start());
        QSignalSpy failed(loader_, &PageSource::NavigateError);
        loader_->Navigate(LogUrl(sim, "demo"));
        QVERIFY(failed.wait(kWaitMs));
        QCOMPARE(StatusOf(failed), 302);
        const QString message = Said(failed);
        QVERIFY2(message.contains(QStringLiteral("another address")), qPrintable(message));
        QVERIFY(target.requests().empty());
        QVERIFY(sim.requests().at(0).authorization.empty());
    }

    // Unloading drops the connection at once; once the router has seen it go, nothing of that
    // navigation can come back.
    void unloadDuringFetchRaisesNoEvent() {
        ScriptedRouter router({});
        QSignalSpy complete(loader_, &PageSource::DocumentComplete);
        QSignalSpy failed(loader_, &PageSource::NavigateError);
        QUrl url = router.url();
        url.setUserInfo(QStringLiteral("admin:demo"));
        loader_->Navigate(url);
        QVERIFY(QTest::qWaitFor(
            [&] { return !router.requests.isEmpty() && router.requests[0].endsWith("\r\n\r\n"); },
            kWaitMs));
        delete std::exchange(loader_, nullptr);
        QVERIFY(QTest::qWaitFor([&] { return router.closed == 1; }, kWaitMs));
        QCOMPARE(complete.count() + failed.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPageLoader)
#include "tst_page_loader.moc"
