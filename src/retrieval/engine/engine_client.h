#pragma once

#include "engine_protocol.h"
#include "page_fetch.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QProcess;

namespace quorvane {

class EngineReading;

using EngineFailure = engine_protocol::Failure;

// The helper's limits for a page, and what the program holds the page and the helper to besides.
struct EngineLimits : RenderLimits {
    FetchLimits fetch;  // each of the page's own requests; their bodies together get no more than
                        // one page's total, each at most an eighth of it (see
                        // EngineReading::kResourceShares)
    // How much longer than the page's own time the helper may take to answer before it counts
    // as hung.
    int helperGraceMs = 5'000;
};

// The engine's helper process (quorvane-engine) as the program sees it: started by the first page
// that needs it and kept for the next, so the window never waits for the engine and a warm engine
// serves each later page. A helper that crashes, hangs or grows past its memory is killed and
// replaced by a fresh one on the next page; the client's end takes the helper with it.
class EngineClient : public QObject {
    Q_OBJECT
public:
    explicit EngineClient(QObject* parent = nullptr);
    ~EngineClient() override;

    // Starts the helper ahead of the first page that needs it, which then finds it up; a page
    // that comes first takes it over as it stands.
    void prepare() { ensureHelper(); }

    // The helper's process id while it runs; 0 otherwise.
    qint64 helperPid() const;

    // How many bytes may wait for the helper to read them. More than two of the largest frames
    // (two pages and what they asked for) means it is not reading its input: it is ended before
    // the window's memory fills with what it owes.
    void setInputLimit(qint64 bytes) { inputLimit_ = bytes; }

private:
    friend class EngineReading;
    quint64 open(EngineReading* reading, const EngineDocument& document,
                 const EngineLimits& limits);
    // False when the helper is gone, or has just been ended for not reading its input.
    bool send(const engine_protocol::Message& message);
    void close(quint64 page);
    // Kills the helper; every reading under way fails, `culprit` with `failure`, the others
    // with NotShown.
    void killHelper(quint64 culprit, EngineFailure failure);

    bool ensureHelper();
    void onReadyRead();
    // What this side reads of a helper, from its first byte.
    engine_protocol::FrameReader freshReader();
    qint64 frameLimit(engine_protocol::MessageType type, quint64 page) const;
    void dispatch(const engine_protocol::Message& message);
    void onHelperGone();
    void dropHelper();

    QPointer<QProcess> process_;
    engine_protocol::FrameReader reader_ = freshReader();
    bool greeted_ = false;  // this helper has said its Hello
    qint64 inputLimit_ = 2 * engine_protocol::kMaxFrameToHelper;
    QHash<quint64, QPointer<EngineReading>> readings_;
    quint64 lastPage_ = 0;
};

// One page read by the engine's helper: the page's bytes go to the helper, each request the page
// makes of its router is fetched here (the helper never sees the credentials) within the limits,
// and the helper's text comes back. Emits exactly one of finished() or failed(), unless it is
// abandoned or destroyed first.
class EngineReading : public QObject {
    Q_OBJECT
public:
    static constexpr int kMemoryCheckMs = 100;
    // Each fetch reserves this share of the page's total as it starts, so that fetches under way
    // together never hold more than the total; more than this many at once wait for one to end.
    // The router serves six connections at a time, so no fetch waits longer for this.
    static constexpr int kResourceShares = 8;
    // Rendering spells a page's bytes out a few times over at most (list numbers, cell and line
    // breaks); a text of more characters than this many for each byte the window gave the page,
    // past a slack for the smallest pages, comes from a page built to grow, too complex to read.
    static constexpr qint64 kTextCharsPerByte = 8;
    static constexpr qint64 kTextSlackChars = 1 << 20;

    EngineReading(EngineClient* client, EngineDocument document, ResourceFetcher fetcher,
                  const EngineLimits& limits = {}, QObject* parent = nullptr);
    ~EngineReading() override;

    void start();
    // Stops the page at once; no signal follows. Safe to call from a handler of its signals.
    void abandon();

signals:
    void finished(const QString& bodyText);  // lines ended by CR LF
    void failed(quorvane::EngineFailure failure);

private:
    friend class EngineClient;
    struct Fetch {
        QPointer<PageFetch> fetch;
        qint64 reserved = 0;  // of bytesLeft_, until it ends
    };
    struct Waiting {
        quint64 request;
        QUrl url;
    };

    void onRequest(quint64 request, const QByteArray& method, const QUrl& url);
    void startWaiting();
    void onCancel(quint64 request);
    void answer(quint64 request, const FetchedPage* page);
    qint64 maxTextFrameBytes() const;
    void finish(const QString* text, EngineFailure failure);
    void stop();

    QPointer<EngineClient> client_;
    EngineDocument document_;
    ResourceFetcher fetcher_;
    EngineLimits limits_;
    quint64 page_ = 0;  // the helper's name for it while open
    QHash<quint64, Fetch> fetches_;
    QList<Waiting> waiting_;
    int requests_ = 0;
    qint64 bytesLeft_;       // of the total, neither given to the page nor reserved
    qint64 bytesGiven_ = 0;  // to the helper for this page: its own and its requests'
    QTimer deadline_;
    QTimer memoryCheck_;
    bool done_ = false;
};

}  // namespace quorvane
