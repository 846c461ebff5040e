#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QWebEngineProfile;
class QWebEngineUrlRequestJob;

namespace quorvane {

class EngineRender;
class EnginePage;
class RouterRequestGate;

// The web engine as the browser instances share it: one off-the-record profile that keeps
// nothing on disk, reaches no network of its own, and serves each page's requests from the
// render that owns the page's router origin. Made on the first page that needs it, so the
// window appears without waiting for the engine, and kept warm for the window's life.
class EngineHost : public QObject {
    Q_OBJECT
public:
    explicit EngineHost(QObject* parent = nullptr);
    ~EngineHost() override;

    QWebEngineProfile* profile() const { return profile_; }

    // Requests to `originKey` (see OriginKey) go to `render` until it withdraws.
    void serveOrigin(const QString& originKey, EngineRender* render);
    void withdrawOrigin(const QString& originKey, const EngineRender* render);
    bool serves(const QString& originKey) const;

    // A page of this profile that has shown nothing yet, owned by the host so that no page
    // outlives the profile; released pages are stopped and deleted once the engine is done with
    // them.
    EnginePage* newPage();
    void releasePage(EnginePage* page);
    // Whether the next page comes with its renderer already up: one is prepared while the engine
    // is idle after a page was released.
    bool sparePageReady() const;

private:
    friend class RouterSchemeHandler;
    void serveRequest(QWebEngineUrlRequestJob* job);
    void prepareSparePage();

    RouterRequestGate* gate_ = nullptr;
    QWebEngineProfile* profile_ = nullptr;
    QHash<QString, QPointer<EngineRender>> renders_;
    // A page whose renderer is up and idle on the empty page, for the next request.
    QPointer<EnginePage> spare_;
    bool spareReady_ = false;
    bool closing_ = false;
};

// Switches Chromium's sandbox off when, and only when, the program runs as root (Chromium
// refuses to start otherwise) and says so once on standard error. Must run before the engine
// starts.
void PrepareEngineProcess();

}  // namespace quorvane
