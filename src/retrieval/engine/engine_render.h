#pragma once

#include "page_fetch.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QWebEngineLoadingInfo;
class QWebEngineUrlRequestJob;

namespace quorvane {

class EngineHost;
class EnginePage;

// Why the engine gave no text.
enum class EngineFailure {
    NotShown,  // the page did not load or its renderer went away
    TimedOut,  // still loading, or its scripts still running, when the time ran out
    TooLarge,  // its renderer grew past the memory allowed to one page
};

struct EngineLimits {
    int timeoutMs = 30'000;          // a page that has not loaded by then never will
    qint64 memoryBytes = 1ll << 30;  // of the page's renderer process
    FetchLimits fetch;               // each of the page's own requests; their bodies together
                                     // get no more than one page's total
    int maxResourceRequests = 100;
};

// The router page a render starts from: already fetched, with the address it came from.
struct EngineDocument {
    QUrl url;  // the page's http address, without user information
    QByteArray contentType;
    QByteArray body;
};

// One page rendered by the engine, from bytes already fetched: the page's scripts run and its
// style sheets apply, its own further requests go to its router through the fetches `fetcher`
// makes, and once it has loaded its body text is read where the page's scripts cannot
// reach. Emits exactly one of finished() or failed(), unless destroyed first; destroying it
// stops the page's renderer at once.
class EngineRender : public QObject {
    Q_OBJECT
public:
    // How long a loaded page must stay without requests of its own before it is read: a request
    // that a script sent at load time may reach us only after the engine reports the load, and
    // scripts that fill the log from our answer have done so by then.
    static constexpr int kSettleMs = 20;
    static constexpr int kMemoryCheckMs = 100;
    static constexpr int kReadyCheckMs = 50;

    EngineRender(EngineHost* host, EngineDocument document, ResourceFetcher fetcher,
                 const EngineLimits& limits = {}, QObject* parent = nullptr);
    ~EngineRender() override;

    void start();
    // Stops the page at once; no signal follows. Safe to call from a handler of its signals.
    void abandon();

    // A request of the page for its router, handed over by the host.
    void serve(QWebEngineUrlRequestJob* job);

    // The process that renders the page, once there is one; 0 before and after.
    qint64 rendererPid() const;

signals:
    void finished(const QString& bodyText);  // lines ended by CR LF
    void failed(quorvane::EngineFailure failure);

private:
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void checkReadyState();
    void loadedNow();
    void readWhenSettled();
    void resourceDone(PageFetch* fetch);
    void read();
    void fail(EngineFailure failure);
    void stop();

    EngineHost* host_;
    EngineDocument document_;
    ResourceFetcher fetcher_;
    QUrl pageUrl_;  // the document under the router scheme
    QString originKey_;
    QPointer<EnginePage> page_;
    QTimer timeout_;
    QTimer settle_;
    QTimer readyCheck_;
    QTimer memoryCheck_;
    EngineLimits limits_;
    qint64 resourceBytesLeft_;
    QList<QPointer<PageFetch>> fetches_;
    int resourceRequests_ = 0;
    int pendingRequests_ = 0;
    int requestsWhenSettling_ = 0;
    bool loaded_ = false;
    bool done_ = false;
};

// The engine's innerText as the rest of the program reads page text: CR LF line ends, and a text
// that holds anything ends with one.
QString LogTextFromInnerText(QString innerText);

}  // namespace quorvane
