#include "engine_host.h"
#include "engine_render.h"
#include "router_sim.h"
#include "wait_until.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>
#include <csignal>

using namespace quorvane;

namespace {

constexpr int kWaitMs = 20'000;

struct Outcome {
    bool finished = false;
    QString text;
    std::optional<EngineFailure> failure;
};

}  // namespace

// The engine reads a page as a browser shows it, reaches nothing but the page's router, keeps
// nothing, and stops a page that will not finish.
class TestEngineRender : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    EngineHost* engine_ = nullptr;
    routersim::RouterSim router_{{.password = "demo"}};
    CredentialKeeper keeper_;
    const ResourceFetcher fetcher_ = [this](const QUrl& url, const FetchLimits& limits,
                                            QObject* parent) {
        return new PageFetch(url, &keeper_, RedirectPolicy::AnyPath, limits, parent);
    };

    EngineDocument document(const QByteArray& html) {
        QUrl url(QStringLiteral("http://127.0.0.1:%1/doc/syslog.htm").arg(router_.port()));
        keeper_.keep(url, {QStringLiteral("admin"), QStringLiteral("demo")});
        return {url, "text/html; charset=utf-8", html};
    }

    Outcome render(const QByteArray& html) {
        Outcome outcome;
        EngineLimits limits;
        limits.memoryBytes = 256ll << 20;
        EngineRender render(engine_, document(html), fetcher_);
        connect(&render, &EngineRender::finished, this, [&](const QString& text) {
            outcome.finished = true;
            outcome.text = text;
        });
        connect(&render, &EngineRender::failed, this,
                [&](EngineFailure failure) { outcome.failure = failure; });
        render.start();
        WaitUntil([&] { return outcome.finished || outcome.failure; }, kWaitMs);
        return outcome;
    }

private slots:
    void initTestCase() {
        // Whatever the engine would keep would land under the home folder.
        qputenv("HOME", QFile::encodeName(home_.path()));
        for (const char* variable : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            qunsetenv(variable);
        QVERIFY(router_.start());
        engine_ = new EngineHost(this);
    }

    void readsWhatScriptsAndStylesShow_data() {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("log written from a script array")
            << QByteArray(
                   "<body><pre><script>var log=['01/02/2026 10:00:00  Firewall: a',"
                   "'01/02/2026 10:00:01  Firewall: b'];"
                   "document.write(log.join('\\n'));</script></pre>")
            << "01/02/2026 10:00:00  Firewall: a\r\n01/02/2026 10:00:01  Firewall: b\r\n";
        QTest::newRow("text area filled on load")
            << QByteArray(
                   "<body onload=\"document.getElementById('t').value='one\\ntwo'\">"
                   "<p>Log</p><textarea id=t></textarea>")
            << "Log\r\n\r\none\r\ntwo\r\n";
        QTest::newRow("hidden field split into table rows")
            << QByteArray(
                   "<body><input type=hidden id=f value='x1;x2'><table id=t></table>"
                   "<script>for (const line of document.getElementById('f').value"
                   ".split(';')) document.getElementById('t').insertRow().insertCell()"
                   ".textContent = line;</script>")
            << "x1\r\nx2\r\n";
        QTest::newRow("lines kept by a style, decoy hidden by one")
            << QByteArray(
                   "<head><style>.log{white-space:pre}.help{display:none}</style></head>"
                   "<body><div class=help>WAN IP is 192.0.2.99</div>"
                   "<div class=log>line 1\nline 2</div>")
            << "line 1\r\nline 2\r\n";
        QTest::newRow("log read from the router with fetch()")
            << QByteArray(
                   "<body><pre id=p></pre><script>fetch('/doc/seclog.htm').then(r => "
                   "r.text()).then(t => document.getElementById('p').textContent = "
                   "t.includes('Login success') ? 'read' : 'empty')</script>")
            << "read\r\n";
        QTest::newRow("no body") << QByteArray("<frameset></frameset>") << "";
        QTest::newRow("text that starts with U+FEFF")
            << QByteArray("<body>&#xFEFF;x") << QChar(0xFEFF) + QStringLiteral("x\r\n");
    }
    void readsWhatScriptsAndStylesShow() {
        QFETCH(QByteArray, html);
        QFETCH(QString, text);
        const Outcome outcome = render(html);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.text, text);
    }

    // Every way a page has of reaching out or moving on, tried while it loads.
    void reachesNothingButItsRouter() {
        routersim::RouterSim elsewhere({.password = "demo"});
        QVERIFY(elsewhere.start("127.0.0.2") || elsewhere.start("127.0.0.1"));
        const QByteArray other = QByteArray::fromStdString("http://" + elsewhere.host() + ":" +
                                                           std::to_string(elsewhere.port()));
        // Requests are mostly served by a page prepared while the engine was idle, whose renderer
        // has shown the empty page before: the rules hold for it as for a new one.
        QVERIFY(render("<p>x").finished);
        QVERIFY(WaitUntil([this] { return engine_->sparePageReady(); }, kWaitMs));
        router_.resetRequests();
        const Outcome outcome =
            render("<head><meta http-equiv=refresh content='0;url=" + other +
                   "/doc/syslog.htm'>"
                   "<link rel=stylesheet href='" +
                   other +
                   "/s.css'>"
                   "<script src='" +
                   other +
                   "/x.js'></script></head>"
                   "<body><p>kept</p><img src='" +
                   other +
                   "/i.png'>"
                   "<iframe src='" +
                   other +
                   "/f.htm'></iframe>"
                   "<form id=f action='" +
                   other +
                   "/post' method=post></form>"
                   "<a id=d href='" +
                   other +
                   "/file.bin' download></a>"
                   "<script>"
                   "fetch('" +
                   other +
                   "/fetch').catch(() => {});"
                   "try { const x = new XMLHttpRequest(); x.open('GET', '" +
                   other +
                   "/xhr');"
                   "  x.send(); } catch (e) {}"
                   "try { new WebSocket('ws://" +
                   other.mid(7) +
                   "/ws'); } catch (e) {}"
                   "navigator.sendBeacon('" +
                   other +
                   "/beacon', 'b');"
                   "window.open('" +
                   other +
                   "/popup');"
                   "alert('a'); confirm('c'); prompt('p');"
                   "if (window.Notification) Notification.requestPermission();"
                   "navigator.geolocation.getCurrentPosition(() => {}, () => {});"
                   "document.getElementById('d').click();"
                   "document.getElementById('f').submit();"
                   "location = '" +
                   other +
                   "/moved';"
                   "const last = new XMLHttpRequest(); last.open('GET', '/doc/seclog.htm');"
                   "last.send();"
                   "</script>");
        QVERIFY2(outcome.finished, outcome.failure ? "failed" : "no outcome");
        QCOMPARE(outcome.text, QStringLiteral("kept\r\n"));
        // The page's own request to its router is the last it makes.
        QVERIFY(WaitUntil([&] { return router_.requests().size() >= 1; }, kWaitMs));
        QVERIFY(elsewhere.requests().empty());
    }

    void endlessScriptFailsAndStopsItsRenderer() {
        EngineLimits limits;
        limits.timeoutMs = 500;
        EngineRender render(engine_, document("<body><script>for (;;) {}</script>"), fetcher_,
                            limits);
        QSignalSpy failed(&render, &EngineRender::failed);
        render.start();
        QVERIFY(WaitUntil([&] { return render.rendererPid() > 0; }, kWaitMs));
        const qint64 pid = render.rendererPid();
        QVERIFY(failed.wait(kWaitMs));
        QCOMPARE(failed.at(0).at(0).value<EngineFailure>(), EngineFailure::TimedOut);
        QVERIFY(WaitUntil([pid] { return ::kill(pid_t(pid), 0) != 0; }, kWaitMs));
    }

    void pageOverItsMemoryIsStopped() {
        EngineLimits limits;
        limits.memoryBytes = 256ll << 20;
        EngineRender render(engine_,
                            document("<body><script>const hoard = [];"
                                     "for (;;) hoard.push(new Array(1e6).fill(hoard.length));"
                                     "</script>"),
                            fetcher_, limits);
        QSignalSpy failed(&render, &EngineRender::failed);
        render.start();
        QVERIFY(failed.wait(kWaitMs));
        QCOMPARE(failed.at(0).at(0).value<EngineFailure>(), EngineFailure::TooLarge);
    }

    void crashedRendererIsNotShownAndTheNextPageIs() {
        EngineRender render(engine_, document("<body><script>for (;;) {}</script>"), fetcher_);
        QSignalSpy failed(&render, &EngineRender::failed);
        render.start();
        QVERIFY(WaitUntil([&] { return render.rendererPid() > 0; }, kWaitMs));
        ::kill(pid_t(render.rendererPid()), SIGKILL);
        QVERIFY(failed.wait(kWaitMs));
        QCOMPARE(failed.at(0).at(0).value<EngineFailure>(), EngineFailure::NotShown);
        QCOMPARE(this->render("<p>next").text, QStringLiteral("next\r\n"));
    }

    void keepsNothingOnDisk() {
        QVERIFY(render("<body><script>localStorage.x = 'y'; document.cookie = 'c=d';"
                       "</script>text")
                    .finished);
        const QStringList left =
            QDir(home_.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    }

    void sandboxIsOffOnlyForRoot() {
        const bool off = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--no-sandbox");
        QCOMPARE(off, ::geteuid() == 0);
    }
};

QTEST_MAIN(TestEngineRender)
#include "tst_engine_render.moc"
