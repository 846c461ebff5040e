#include "browser_component.h"
#include "closed_port.h"
#include "request_url.h"
#include "router_sim.h"

#include <QSignalSpy>
#include <QWidget>
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

}  // namespace

class TestBrowserComponent : public QObject {
    Q_OBJECT

    QWidget window_;
    WebBrowserCollection* browsers_ = nullptr;

    BrowserInstance* freshInstance() {
        browsers_->unload(1);
        BrowserInstance* browser = browsers_->load(1);
        browser->setVisible(true);
        return browser;
    }

private slots:
    void init() {
        delete browsers_;
        browsers_ = new WebBrowserCollection(&window_, QRect(-17, 48, 17, 17));
    }

    void collectionLoadsAndUnloadsInstanceOne() {
        QCOMPARE(browsers_->count(), 1);
        QVERIFY(!browsers_->item(0)->isVisibleTo(&window_));
        BrowserInstance* browser = browsers_->load(1);
        QCOMPARE(browsers_->count(), 2);
        QCOMPARE(browser->geometry(), browsers_->item(0)->geometry());
        QVERIFY(!browser->isVisibleTo(&window_));
        browsers_->unload(1);
        QCOMPARE(browsers_->count(), 1);
        QCOMPARE(browsers_->item(1), nullptr);
    }

    void aboutBlankCompletesEmptyAndLater() {
        BrowserInstance* browser = freshInstance();
        QSignalSpy complete(browsers_, &WebBrowserCollection::DocumentComplete);
        browser->Navigate(QUrl("about:blank"));
        QCOMPARE(complete.count(), 0);  // never inside the call
        QVERIFY(complete.wait(kWaitMs));
        QCOMPARE(complete.at(0).at(0).toInt(), 1);
        QCOMPARE(complete.at(0).at(1).toString(), QStringLiteral("about:blank"));
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
        QSignalSpy complete(browsers_, &WebBrowserCollection::DocumentComplete);
        QSignalSpy failed(browsers_, &WebBrowserCollection::NavigateError);
        freshInstance()->Navigate(LogUrl(sim, password));
        QVERIFY(complete.wait(kWaitMs));
        QCOMPARE(failed.count(), 0);
        const QString url = complete.at(0).at(1).toString();
        QVERIFY(url.endsWith(QStringLiteral("/doc/syslog.htm")));
        QVERIFY2(!url.contains(password), "the reported URL must not carry the password");
        QVERIFY(browsers_->item(1)->bodyText().contains(QStringLiteral("WAN IP is ")));
        QVERIFY(browsers_->item(1)->bodyText().endsWith(QStringLiteral("\r\n")));
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
    }
    void failuresAreReportedAsFailures() {
        QFETCH(int, fault);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QString, says);
        routersim::RouterSim sim({.password = "demo", .fault = routersim::Fault(fault)});
        QVERIFY(sim.start());
        QSignalSpy complete(browsers_, &WebBrowserCollection::DocumentComplete);
        QSignalSpy failed(browsers_, &WebBrowserCollection::NavigateError);
        freshInstance()->Navigate(LogUrl(sim, password));
        QVERIFY(failed.wait(kWaitMs));
        QCOMPARE(complete.count(), 0);
        QCOMPARE(failed.at(0).at(0).toInt(), 1);
        QCOMPARE(failed.at(0).at(3).toInt(), status);
        const QString message = failed.at(0).at(2).toString();
        QVERIFY2(message.contains(says), qPrintable(message));
        QVERIFY(!message.contains(password) || password == QLatin1String("demo"));
    }

    void connectionRefusedIsAFailure() {
        QSignalSpy failed(browsers_, &WebBrowserCollection::NavigateError);
        freshInstance()->Navigate(
            ComposeRouterUrl({"pw", "127.0.0.1", QString::number(ClosedPort())},
                             LogPagePath(LogKind::System))
                .url);
        QVERIFY(failed.wait(kWaitMs));
        QVERIFY(failed.at(0).at(2).toString().contains(QStringLiteral("refused the connection")));
    }

    void sameOriginRedirectKeepsCredentials() {
        routersim::RouterSim sim(
            {.password = "demo", .fault = routersim::Fault::RedirectSameOrigin});
        QVERIFY(sim.start());
        QSignalSpy complete(browsers_, &WebBrowserCollection::DocumentComplete);
        freshInstance()->Navigate(LogUrl(sim, "demo"));
        QVERIFY(complete.wait(kWaitMs));
        QVERIFY(browsers_->item(1)->bodyText().contains(QStringLiteral("WAN IP is ")));
    }

    void redirectToAnotherHostCarriesNoCredentials_data() {
        QTest::addColumn<QString>("targetHost");
        QTest::newRow("other address") << "127.0.0.2";
        QTest::newRow("other port") << "127.0.0.1";
    }
    void redirectToAnotherHostCarriesNoCredentials() {
        QFETCH(QString, targetHost);
        routersim::RouterSim target({.password = "demo"});
        if (!target.start(targetHost.toStdString())) QSKIP("cannot listen on that address here");
        routersim::RouterSim sim(
            {.password = "demo",
             .fault = routersim::Fault::RedirectOtherHost,
             .redirectTarget = "http://" + target.host() + ":" + std::to_string(target.port())});
        QVERIFY(sim.start());
        QSignalSpy failed(browsers_, &WebBrowserCollection::NavigateError);
        freshInstance()->Navigate(LogUrl(sim, "demo"));
        QVERIFY(failed.wait(kWaitMs));
        QCOMPARE(failed.at(0).at(3).toInt(), 401);
        const auto arrived = target.requests();
        QCOMPARE(arrived.size(), std::size_t(1));
        QVERIFY(arrived[0].authorization.empty());
    }

    void unloadDuringFetchRaisesNoEvent() {
        routersim::RouterSim sim({.password = "demo", .fault = routersim::Fault::SlowBody});
        QVERIFY(sim.start());
        QSignalSpy complete(browsers_, &WebBrowserCollection::DocumentComplete);
        QSignalSpy failed(browsers_, &WebBrowserCollection::NavigateError);
        freshInstance()->Navigate(LogUrl(sim, "demo"));
        QTest::qWait(200);
        browsers_->unload(1);
        QTest::qWait(500);
        QCOMPARE(complete.count() + failed.count(), 0);
    }
};

QTEST_MAIN(TestBrowserComponent)
#include "tst_browser_component.moc"
