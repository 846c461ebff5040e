#pragma once

#include "origin.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QWebEngineProfile;
class QWebEngineUrlRequestJob;

namespace quorvane {

class EnginePage;
class RouterRequestGate;

// The web engine as the helper runs it: one off-the-record profile that keeps nothing on disk,
// reaches no network of its own, and hands each page's requests to whoever serves the page's
// router origin (the page's render).
class EngineHost : public QObject {
    Q_OBJECT
public:
    // `shutWebRtc` false leaves the page's WebRTC constructors in place, for tests only.
    explicit EngineHost(bool shutWebRtc = true, QObject* parent = nullptr);
    ~EngineHost() override;

    using RequestServer = std::function<void(QWebEngineUrlRequestJob*)>;
    // Requests to `origin` (under the router scheme) go to `serve` until `owner` withdraws or goes.
    void serveOrigin(const Origin& origin, QObject* owner, RequestServer serve);
    void withdrawOrigin(const Origin& origin, const QObject* owner);

    // A page of this profile that has shown nothing yet, owned by the host so that no page
    // outlives the profile; released pages are stopped and deleted once the engine is done with
    // them.
    EnginePage* newPage();
    void releasePage(EnginePage* page);
    // Brings up a page and its renderer for the next request, unless one is there.
    void prepareSparePage();

private:
    friend class RouterSchemeHandler;
    void serveRequest(QWebEngineUrlRequestJob* job);

    RouterRequestGate* gate_ = nullptr;
    QWebEngineProfile* profile_ = nullptr;
    struct Server {
        QPointer<QObject> owner;
        RequestServer serve;
    };
    QHash<Origin, Server> servers_;
    // A page whose renderer is up and idle on the empty page, for the next request.
    QPointer<EnginePage> spare_;
    bool spareReady_ = false;
    bool closing_ = false;
};

}  // namespace quorvane
