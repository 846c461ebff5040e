// quorvane-bench-engine-floor: the floor under any reading of a page by the web engine. A bare
// Qt WebEngine in this very process, started as the program's engine helper starts it (offscreen,
// the same Chromium switches), reads a demo router page: a fresh page whose renderer was brought
// up beforehand, as the helper keeps a spare; the page loaded from memory; its body's innerText
// taken. No pipe, no fetch while timed, no limits, no scripts of ours: what is left when
// everything the program adds is taken away.
//
// The page and every file it asks for come from the demo router, fetched with the credentials on
// a first reading that is not timed; the timed readings are served from memory.
//
//   quorvane-bench-engine-floor [--benchmark_out=FILE.json] [other Google Benchmark flags]

#include "bench_inputs.h"
#include "demo_page_benchmark.h"
#include "engine_application.h"
#include "engine_switches.h"
#include "event_wait.h"
#include "load_noting_reporter.h"
#include "router_scheme.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <vector>

namespace quorvane::bench {
namespace {

constexpr int kTimeoutMs = 60'000;

// The body's text, and the text areas' values, which innerText leaves out and in which some
// routers show their logs.
constexpr char kReadText[] =
    "[document.body.innerText].concat(Array.from(document.querySelectorAll('textarea'), "
    "a => a.value)).join('\\n')";

// The router's files from memory. Each is fetched from the router when the page first asks for
// it, while `fetching`; a file asked for later than that is refused and noted.
class RouterFiles : public QWebEngineUrlSchemeHandler {
public:
    explicit RouterFiles(const DemoRouter& router) : client_(router.sim.host(), router.sim.port()) {
        client_.set_basic_auth("admin", kDemoPassword);
    }

    bool fetching = true;
    bool missed = false;

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        const QUrl url = job->requestUrl();
        const std::string path = url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority |
                                              QUrl::RemoveFragment | QUrl::FullyEncoded)
                                     .toStdString();
        auto found = files_.find(path);
        if (found == files_.end()) {
            if (!fetching) {
                missed = true;
                job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            File file;
            if (const httplib::Result answer = client_.Get(path)) {
                file = {answer->status,
                        QByteArray::fromStdString(answer->get_header_value("Content-Type")),
                        QByteArray::fromStdString(answer->body)};
            }
            found = files_.emplace(path, file).first;
        }
        const File& file = found->second;
        if (file.status != 200) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* body = new QBuffer(job);
        body->setData(file.body);
        body->open(QIODevice::ReadOnly);
        job->reply(file.contentType, body);
    }

private:
    struct File {
        int status = 0;
        QByteArray contentType;
        QByteArray body;
    };
    httplib::Client client_;
    std::map<std::string, File> files_;
};

// Waits for the page's next load to end; whether it succeeded.
bool LoadOf(QWebEnginePage& page, const QUrl& url) {
    bool done = false;
    bool ok = false;
    const auto connection = QObject::connect(&page, &QWebEnginePage::loadFinished, [&](bool got) {
        ok = got;
        done = true;
    });
    page.load(url);
    RunUntil(done, kTimeoutMs);
    QObject::disconnect(connection);
    return ok;
}

struct Reading {
    int firewallLines = -1;  // in the text read; -1 when the page did not load
    qint64 loadedNs = 0;     // from the start of the load to its end
    qint64 readNs = 0;       // from the start of the load to the text
};

// One reading: a spare page brought up on the empty page and left idle as between a user's
// presses, then timed from the load of the router page to its text.
Reading ReadPage(QWebEngineProfile& profile, const QUrl& url) {
    const auto page = std::make_unique<QWebEnginePage>(&profile);
    // QTWEBENGINE_6_4_QUIRK viewless-page-is-hidden: as in the helper, or the page's timers are
    // throttled.
    page->setVisible(true);
    Reading reading;
    if (!LoadOf(*page, QUrl(QStringLiteral("about:blank")))) return reading;
    PauseBetweenPresses();

    bool done = false;
    QString text;
    QElapsedTimer timer;
    timer.start();
    if (!LoadOf(*page, url)) return reading;
    reading.loadedNs = timer.nsecsElapsed();
    page->runJavaScript(QString::fromLatin1(kReadText), [&](const QVariant& value) {
        reading.readNs = timer.nsecsElapsed();
        text = value.toString();
        done = true;
    });
    RunUntil(done, kTimeoutMs);
    if (done) reading.firewallLines = int(text.count(QLatin1String("Firewall:")));
    return reading;
}

// The router's page and files served from memory to a profile off the record, as the helper's:
// nothing kept on disk, no cache.
struct FloorEngine {
    explicit FloorEngine(const DemoRouter& router)
        : files(router),
          url(ToRouterScheme(QUrl(QString::fromStdString(router.url(router.paths.front()))))) {
        profile.setHttpCacheType(QWebEngineProfile::NoCache);
        profile.installUrlSchemeHandler(kRouterScheme, &files);
    }
    RouterFiles files;  // first, so that it outlives the profile that uses it
    QWebEngineProfile profile;
    const QUrl url;
};

void Counters(benchmark::State& state, const DemoRouter& router, double loadedMs) {
    state.SetBytesProcessed(state.iterations() * std::int64_t(router.bytes));
    state.counters["bytes"] = double(router.bytes);
    // The rest of the time is the reading of the text.
    state.counters["loaded_ms"] = benchmark::Counter(loadedMs, benchmark::Counter::kAvgIterations);
}

void BM_EngineFloor(benchmark::State& state, DemoPage demoPage, std::size_t logPageBytes) {
    const DemoRouter router(demoPage, logPageBytes);
    if (!router.started) {
        state.SkipWithError("the demo router did not start");
        return;
    }
    FloorEngine engine(router);
    RouterFiles& files = engine.files;
    if (ReadPage(engine.profile, engine.url).firewallLines != router.firewallLines) {
        state.SkipWithError("the first reading did not give the page's log");
        return;
    }
    files.fetching = false;
    double loadedMs = 0;
    for (auto _ : state) {
        const Reading reading = ReadPage(engine.profile, engine.url);
        state.SetIterationTime(double(reading.readNs) / 1e9);
        loadedMs += double(reading.loadedNs) / 1e6;
        if (reading.firewallLines != router.firewallLines || files.missed) {
            state.SkipWithError("the engine did not give the page's log from the files in memory");
            break;
        }
    }
    Counters(state, router, loadedMs);
}

// A hostile page, read once: a first reading would take as long as the one timed, and a page
// made in memory needs none, nor a file from the router. A reading that does not end within the
// time counts as that time, with `shown` 0.
void BM_EngineFloorHostile(benchmark::State& state, DemoPage demoPage, std::size_t bytes) {
    const DemoRouter router(demoPage, bytes);
    if (!router.started) {
        state.SkipWithError("the demo router did not start");
        return;
    }
    FloorEngine engine(router);
    double loadedMs = 0;
    int shown = 0;
    for (auto _ : state) {
        const Reading reading = ReadPage(engine.profile, engine.url);
        const bool read = reading.firewallLines == router.firewallLines;
        shown += read ? 1 : 0;
        state.SetIterationTime(read ? double(reading.readNs) / 1e9 : kTimeoutMs / 1e3);
        loadedMs += double(read ? reading.loadedNs : 0) / 1e6;
    }
    Counters(state, router, loadedMs);
    state.counters["shown"] = benchmark::Counter(shown, benchmark::Counter::kAvgIterations);
}

[[maybe_unused]] const bool kRegistered = [] {
    for (const DemoPage& page : kEveryDemoPage) {
        if (page.plainMarkup) continue;  // the page reader's, never the engine's
        RegisterDemoPageBenchmark("BM_EngineFloor", BM_EngineFloor, page, 64 * kKiB)->MinTime(0.5);
    }
    for (const DemoPage& page : {kHostileDivPage, kHostileAttributesPage}) {
        for (const std::size_t bytes : {kMiB, 4 * kMiB}) {
            RegisterDemoPageBenchmark("BM_EngineFloor", BM_EngineFloorHostile, page, bytes)
                ->Iterations(1);
        }
    }
    return true;
}();

}  // namespace
}  // namespace quorvane::bench

int main(int argc, char** argv) {
    std::vector<char*> given(argv, argv + argc);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    // Started as the helper starts its engine.
    quorvane::EngineApplication app(argv[0], quorvane::ChromiumSwitches(true, ::geteuid() == 0));

    quorvane::bench::RunBenchmarksNotingLoad(int(given.size()), given.data());
    benchmark::Shutdown();
    return 0;
}
