#pragma once

#include "engine_protocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <optional>

class QWebEngineLoadingInfo;
class QWebEngineUrlRequestJob;

namespace quorvane {

class EngineHost;
class EnginePage;

// Reads the page the way a router page is read and drops what it gets. Done on a spare page's
// empty document, it leaves the renderer with the reading's script world set up and its script
// compiled before a router page waits on them.
void RehearseReading(EnginePage* page);

// One page rendered by the engine inside the helper, from bytes the program fetched: the page's
// scripts run and its style sheets apply, each of its own requests for its router is passed on
// to the program, and once it has loaded its body text is read where the page's scripts cannot
// reach. Emits exactly one of finished() or failed(), unless destroyed first; destroying it stops
// the page's renderer at once.
class EngineRender : public QObject {
    Q_OBJECT
public:
    // How long after a late answer to one of its requests the page is read: time for the script
    // that asked to put the answer into the page.
    static constexpr int kLateAnswerMs = 5;
    // How long a page whose scripts keep it busy is read again and again, after its load or the
    // last answer to one of its requests, before it is taken as it was last read.
    static constexpr int kMaxBusyMs = 1'000;
    // How long between two readings of a busy page: longer than the short timers that the page's
    // scripts are waited on for (page_scripts.cpp), so that a banner redrawn by one of them has
    // set its next timer by the next reading, and two readings of it can agree.
    static constexpr int kReadAgainMs = 60;
    static constexpr int kMemoryCheckMs = 100;
    static constexpr int kReadyCheckMs = 50;

    EngineRender(EngineHost* host, EngineDocument document, const RenderLimits& limits,
                 QObject* parent = nullptr);
    ~EngineRender() override;

    void start();

    // A request of the page for its router, handed over by the host.
    void serve(QWebEngineUrlRequestJob* job);
    // What the program got for request `request`; nothing when !ok.
    void answer(quint64 request, bool ok, const QByteArray& contentType, const QByteArray& body);

    // The process that renders the page, once there is one; 0 before and after.
    qint64 rendererPid() const;

signals:
    void finished(const QString& bodyText);  // lines ended by CR LF
    void failed(quorvane::engine_protocol::Failure failure);
    // The page wants `url` (http, of its router); answer() brings what came back.
    void resourceRequested(quint64 request, const QByteArray& method, const QUrl& url);
    void resourceCancelled(quint64 request);

private:
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void checkReadyState();
    void loadedNow();
    void readWhenSettled();
    void readNow(const QString& text);
    void resourceDone(quint64 request);
    void read();
    void fail(engine_protocol::Failure failure);
    void stop();

    EngineHost* host_;
    EngineDocument document_;
    QUrl pageUrl_;  // the document under the router scheme
    RenderLimits limits_;
    QPointer<EnginePage> page_;
    QTimer timeout_;
    QTimer settle_;
    QTimer readyCheck_;
    QTimer memoryCheck_;
    QHash<quint64, QPointer<QWebEngineUrlRequestJob>> pending_;  // by request
    quint64 lastRequest_ = 0;
    quint64 answered_ = 0;  // requests answered or given up so far
    // The requests made and answered when the reading now under way was sent.
    quint64 requestsWhenRead_ = 0;
    quint64 answeredWhenRead_ = 0;
    bool reading_ = false;
    QElapsedTimer sinceAnswer_;        // since the page loaded or one of its requests was answered
    std::optional<QString> previous_;  // the reading before, while the page's scripts kept moving
    bool loaded_ = false;
    bool done_ = false;
};

// The engine's innerText as the rest of the program reads page text: CR LF line ends, and a text
// that holds anything ends with one.
QString LogTextFromInnerText(QString innerText);

}  // namespace quorvane
