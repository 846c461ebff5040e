#pragma once

#include "navigation_limits.h"
#include "page_fetch.h"
#include "page_source.h"
#include "static_page_reader.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

namespace quorvane {

class EngineClient;
class EngineReading;

// The helpers the loaders of one window share, and the limits they are held to. The web
// engine's helper is started by prepare() or by the first page that needs it, and ends with this
// object.
class PageReaders : public QObject {
    Q_OBJECT
public:
    explicit PageReaders(QObject* parent = nullptr);
    ~PageReaders() override;

    EngineClient* engine();
    // Starts what the next press reads with while the window has nothing to do: the engine's
    // helper with a renderer up, and a page reader waiting for its page. A press that comes
    // before they are ready takes them over as they stand; none is ever started twice.
    void prepare();
    // A page reader held to `limits`, the one made ready when it has them; the caller owns it.
    StaticPageReader* takeReader(const StaticPageReader::Limits& limits, QObject* parent);

    // Whether the engine's helper runs, and runs on the program's own network: where the system
    // refuses it a network of its own, its other locks alone keep pages off the network.
    bool engineSharesOurNetwork() const;

    // Limits of every navigation from now on. Tests shorten them.
    const NavigationLimits& limits() const { return limits_; }
    void setLimits(const NavigationLimits& limits) { limits_ = limits; }

private:
    NavigationLimits limits_;
    EngineClient* engine_ = nullptr;
    QPointer<StaticPageReader> spareReader_;
};

// Reads the router's pages as a browser shows them. Our own fetch brings a page's bytes; a text
// file gives its text as it is; an HTML page whose text the static renderer gives exactly (no
// script, no style) is read by it in a helper process held to CPU and memory limits; any other
// page is rendered by the web engine, whose scripts run and whose style sheets apply. Whatever
// the router sends, a navigation ends in its document or its failure within the limits, and a
// new navigation or the loader's end stops everything the old one had under way at once.
class PageLoader : public PageSource {
    Q_OBJECT
public:
    explicit PageLoader(PageReaders* readers, QObject* parent = nullptr);
    ~PageLoader() override;

    // The credentials go to the URL's origin only, once the router has asked for them, and from
    // then on with every request there, the page's own included.
    void Navigate(const QUrl& url) override;
    // Redirects within the origin are followed; any answer but 2xx is a failure.
    void Submit(const QUrl& url) override;

    QString bodyText() const override { return bodyText_; }
    QUrl documentUrl() const override { return documentUrl_; }

private:
    quint64 beginNavigation(const QUrl& url);
    PageFetch* fetchRequested(RedirectPolicy policy);
    void readPage(const FetchedPage& page);
    void renderInEngine();
    ResourceFetcher resourceFetcher() const;
    void complete(const QString& text);
    void fail(const PageFailure& failure);
    void fail(PageFailure::Kind kind, PageFailure::Details details = {});
    void abandonWork();

    PageReaders* readers_;
    NavigationLimits limits_;   // of the navigation under way
    CredentialKeeper* keeper_;  // the only holder of the password once Navigate has returned
    QUrl requested_;            // the address asked for, without user information
    FetchedPage page_;
    QTimer deadline_;
    QPointer<PageFetch> fetch_;
    QPointer<StaticPageReader> reader_;
    QPointer<EngineReading> reading_;
    quint64 navigation_ = 0;
    QString bodyText_;
    QUrl documentUrl_;
};

}  // namespace quorvane
