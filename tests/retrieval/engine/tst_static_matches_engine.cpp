#include "closed_port.h"
#include "engine_client.h"
#include "helper_environment.h"
#include "page_text.h"
#include "static_page_generator.h"
#include "wait_until.h"

#include <QElapsedTimer>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

using namespace quorvane;

namespace {

// Knobs for longer runs. By default the run is the same every time and takes a few seconds.
//   QUORVANE_DIFF_SEED     seed of the run (any 64-bit number)
//   QUORVANE_DIFF_PAGES    how many pages to make
//   QUORVANE_DIFF_SECONDS  make pages for this long instead
//   QUORVANE_DIFF_PAGE     only the page of this index, to see one difference again
//   QUORVANE_DIFF_ALL      1: go on after a difference and report every one found
// Any seed would do; the first pages of this one were checked to catch each difference the static
// path once had: a hidden field taken for content, a form among a table's rows shown, an empty
// option group without its line.
constexpr quint64 kDefaultSeed = 1;
constexpr quint64 kDefaultPages = 200;
// The engine renders each page in a process of its own; a few at once keep both cores busy.
constexpr int kConcurrentRenders = 4;
// One more port for the renders that shrink a page while others may still run.
constexpr int kShrinkLane = kConcurrentRenders;
constexpr int kShrinkTries = 1500;
constexpr int kWaitMs = 2 * EngineLimits{}.timeoutMs;

// A knob's value; nothing when it is not set. A value that is no number stops the run rather than
// pass unnoticed as the default.
std::optional<quint64> EnvNumber(const char* name) {
    if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
    bool ok = false;
    const quint64 value = qEnvironmentVariable(name).toULongLong(&ok, 10);
    if (!ok) qFatal("%s is not a number: %s", name, qPrintable(qEnvironmentVariable(name)));
    return value;
}

// Text with every character that is hard to see spelled out, and a source line per line.
QByteArray Shown(const QString& text) {
    QString shown;
    for (const QChar c : text) {
        if (c == u'\n') {
            shown += QStringLiteral("\\n\n          ");
        } else if (c == u'\r') {
            shown += QStringLiteral("\\r");
        } else if (c == u'\t') {
            shown += QStringLiteral("\\t");
        } else if (c == u'\\') {
            shown += QStringLiteral("\\\\");
        } else if (c != u' ' &&
                   (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                    c.category() == QChar::Separator_Space || c == QChar::ReplacementCharacter)) {
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
        } else {
            shown += c;
        }
    }
    return shown.toUtf8();
}

// A page's bytes the same way, with a byte-order mark kept and, in a page that is not UTF-8, every
// byte past ASCII written in hex.
QByteArray Shown(const QByteArray& page) {
    if (QUtf8StringView(page).isValidUtf8()) {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return Shown(QString(decoder.decode(page)));
    }
    QByteArray shown;
    for (const char c : page) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte >= 0x80 ? "\\x" + QByteArray::number(byte, 16) : Shown(QString(QChar(byte)));
    }
    return shown;
}

struct GeneratedPage {
    quint64 index = 0;
    QByteArray body;
    QByteArray type;  // its Content-Type
};

struct EngineText {
    std::optional<QString> text;  // nothing when the engine failed
    EngineFailure failure = EngineFailure::NotShown;
};

}  // namespace

// Wherever the static path gives a page's text, it is exactly the text the engine gives the
// same bytes: random pages of router markup, each rendered both ways.
class TestStaticMatchesEngine : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    EngineClient* engine_ = nullptr;
    // The engine serves pages by origin, so renders at the same time each get a port of their
    // own. Static pages request nothing, so nothing listens there.
    QList<int> ports_;

    // Renders the page on the port of `lane`; the render goes with `owner`, and its result with it.
    void startRender(QObject* owner, int lane, const QByteArray& page, const QByteArray& type,
                     const std::function<void(EngineText)>& done) {
        const QUrl url(QStringLiteral("http://127.0.0.1:%1/doc/syslog.htm").arg(ports_[lane]));
        // Static pages ask their router for nothing.
        auto* render = new EngineReading(engine_, {url, type, page}, {}, {}, owner);
        connect(render, &EngineReading::finished, this, [render, done](const QString& text) {
            render->deleteLater();
            done({text});
        });
        connect(render, &EngineReading::failed, this, [render, done](EngineFailure failure) {
            render->deleteLater();
            done({std::nullopt, failure});
        });
        render->start();
    }

    EngineText renderNow(const QByteArray& page, const QByteArray& type) {
        QObject owner;
        std::optional<EngineText> result;
        startRender(&owner, kShrinkLane, page, type,
                    [&result](EngineText text) { result = std::move(text); });
        if (!WaitUntil([&result] { return result.has_value(); }, kWaitMs)) return {};
        return *result;
    }

    // Whether the static path takes the page and gives a text other than the engine's.
    bool differs(const QByteArray& page, const QByteArray& type) {
        const std::optional<QString> ours = StaticPageText(page, type);
        if (!ours) return false;
        const EngineText engine = renderNow(page, type);
        return engine.text && *engine.text != *ours;
    }

    QByteArray report(quint64 seed, const GeneratedPage& page, const QString& engineText) {
        const QByteArray shrunk = testing::ShrinkPage(
            page.body,
            [this, &page](const QByteArray& candidate) { return differs(candidate, page.type); },
            kShrinkTries);
        const std::optional<QString> ours = StaticPageText(shrunk, page.type);
        const EngineText engine = renderNow(shrunk, page.type);
        return "static text differs from the engine's: QUORVANE_DIFF_SEED=" +
               QByteArray::number(seed) + " QUORVANE_DIFF_PAGE=" + QByteArray::number(page.index) +
               "\n  type:   " + page.type + "\n  page:   " + Shown(page.body) +
               "\n  engine: " + Shown(engineText) + "\n  shrunk: " + Shown(shrunk) +
               "\n  engine: " + Shown(engine.text.value_or("")) +
               "\n  static: " + Shown(ours.value_or("")) + "\n";
    }

private slots:
    void initTestCase() {
        // Whatever the engine would keep would land under the home folder.
        qputenv("HOME", QFile::encodeName(home_.path()));
        for (int i = 0; i <= kShrinkLane; ++i) {
            int port = ClosedPort();
            while (ports_.contains(port)) port = ClosedPort();
            ports_.append(port);
        }
        SetHelperCommand(Helper::Engine, {QStringLiteral(QUORVANE_ENGINE_HELPER)});
        engine_ = new EngineClient(this);
    }

    void staticTextIsTheEngines() {
        const quint64 seed = EnvNumber("QUORVANE_DIFF_SEED").value_or(kDefaultSeed);
        const std::optional<quint64> seconds = EnvNumber("QUORVANE_DIFF_SECONDS");
        const std::optional<quint64> only = EnvNumber("QUORVANE_DIFF_PAGE");
        const quint64 pages =
            only ? *only + 1
                 : EnvNumber("QUORVANE_DIFF_PAGES").value_or(seconds ? ~quint64(0) : kDefaultPages);
        const bool reportAll = qEnvironmentVariable("QUORVANE_DIFF_ALL") == QLatin1String("1");
        qInfo("seed %llu", seed);

        QElapsedTimer clock;
        clock.start();
        quint64 next = only.value_or(0);
        quint64 made = 0;
        quint64 refused = 0;
        quint64 compared = 0;
        QList<QByteArray> differences;
        QList<QByteArray> engineFailures;
        // A finished render leaves its page's index in its lane until it is checked.
        struct Lane {
            bool busy = false;
            GeneratedPage page;
            QString staticText;
            std::optional<EngineText> result;
        };
        std::vector<Lane> lanes(kConcurrentRenders);
        QObject renders;  // declared after `lanes`: renders still running go first
        auto stopMaking = [&] {
            return next >= pages || (seconds && quint64(clock.elapsed()) >= *seconds * 1000) ||
                   (!differences.isEmpty() && !reportAll) || !engineFailures.isEmpty();
        };

        for (;;) {
            for (int s = 0; s < kConcurrentRenders; ++s) {
                Lane& lane = lanes[s];
                if (lane.busy && lane.result) {
                    lane.busy = false;
                    ++compared;
                    if (!lane.result->text) {
                        engineFailures.append("the engine could not render page " +
                                              QByteArray::number(lane.page.index) + " of seed " +
                                              QByteArray::number(seed) + ": " +
                                              Shown(lane.page.body));
                    } else if (*lane.result->text != lane.staticText) {
                        differences.append(report(seed, lane.page, *lane.result->text));
                        qWarning("%s", differences.last().constData());
                    }
                }
                // Pages the static path refuses cost no render; make pages until one is taken.
                while (!lane.busy && !stopMaking()) {
                    const quint64 index = next++;
                    const quint64 pageSeed = testing::PageSeed(seed, index);
                    GeneratedPage page{index, testing::GenerateStaticPage(pageSeed),
                                       testing::GeneratedContentType(pageSeed)};
                    ++made;
                    std::optional<QString> ours = StaticPageText(page.body, page.type);
                    if (!ours) {
                        ++refused;
                        continue;
                    }
                    lane = {true, page, *ours, std::nullopt};
                    startRender(&renders, s, page.body, page.type, [&lanes, s](EngineText text) {
                        lanes[s].result = std::move(text);
                    });
                }
            }
            const auto busy = [&lanes] {
                return std::any_of(lanes.begin(), lanes.end(),
                                   [](const Lane& lane) { return lane.busy; });
            };
            if (!busy()) break;
            QVERIFY(WaitUntil(
                [&lanes] {
                    return std::any_of(lanes.begin(), lanes.end(), [](const Lane& lane) {
                        return lane.busy && lane.result.has_value();
                    });
                },
                kWaitMs));
        }

        qInfo(
            "seed %llu: %llu pages in %.1f s, %llu compared with the engine, %llu (%.1f%%) "
            "left to the engine",
            seed, made, clock.elapsed() / 1000.0, compared, refused,
            made == 0 ? 0.0 : 100.0 * double(refused) / double(made));
        QVERIFY2(engineFailures.isEmpty(), engineFailures.join('\n').constData());
        // Each difference is shown in full, shrunk, in a warning above.
        QVERIFY2(differences.isEmpty(), QByteArray::number(differences.size()) +
                                            " difference(s), the first " +
                                            differences.value(0).split('\n').first());
        QVERIFY(compared > 0 || only);
    }
};

QTEST_MAIN(TestStaticMatchesEngine)
#include "tst_static_matches_engine.moc"
