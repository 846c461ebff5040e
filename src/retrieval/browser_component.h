#pragma once

#include "fetch_failure.h"
#include "navigation_limits.h"
#include "page_fetch.h"
#include "static_page_reader.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace quorvane {

class EngineClient;
class EngineReading;
class WebBrowserCollection;

// One browser instance: a widget that the user never sees (it stands outside the window) and
// that fetches a page asynchronously and keeps the text of its body.
//
// A page is read as a browser shows it. Our own fetch brings its bytes; a text file gives its
// text as it is; an HTML page whose text the static renderer gives exactly (no script, no style)
// is read by it in a helper process held to CPU and memory limits; any other page is rendered by
// the web engine, whose scripts run and whose style sheets apply. Whatever the router sends, a
// navigation ends in its document or its failure within the limits, and a new navigation or the
// instance's end stops everything the old one had under way at once.
class BrowserInstance : public QWidget {
    Q_OBJECT
public:
    BrowserInstance(int index, WebBrowserCollection* collection, QWidget* parent);
    ~BrowserInstance() override;

    int index() const { return index_; }

    // Starts an asynchronous fetch and returns at once; a navigation still under way is
    // abandoned. The URL's user information is taken out of it and kept by this instance for the
    // URL's origin, in place of what was kept there: it is sent as HTTP basic credentials to that
    // origin only, once the router has asked for them, and from then on with every request
    // there, the page's own included. An address without user information is read with the
    // credentials kept for its origin. "about:blank" completes with an empty document.
    void Navigate(const QUrl& url);
    // Sends a request whose answer is the router's word, not a page, like Navigate and with the
    // same credentials. A 2xx answer, after redirects within the origin, completes it with an
    // empty document at `url` itself; any other answer is a failure.
    void Submit(const QUrl& url);

    void setLimits(const NavigationLimits& limits) { limits_ = limits; }

    // The plain text of the completed document's body, lines ended by CR LF.
    const QString& bodyText() const { return bodyText_; }
    // The address of the completed document, without user information.
    const QUrl& documentUrl() const { return documentUrl_; }

signals:
    void DocumentComplete(int index, const QString& url);
    // A navigation that did not bring back a page: the message is a plain sentence for the user.
    void NavigateError(int index, const QString& url, const QString& message, int httpStatus);

private:
    quint64 beginNavigation(const QUrl& url);
    PageFetch* fetchRequested(RedirectPolicy policy);
    void readPage(const FetchedPage& page);
    void renderInEngine();
    ResourceFetcher resourceFetcher() const;
    void complete(const QString& text);
    void fail(const FetchFailure& failure);
    void fail(FetchFailure::Kind kind, const QString& details = {});
    void abandonWork();

    int index_;
    WebBrowserCollection* collection_;
    NavigationLimits limits_;
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

// The WebBrowser control array: the designed instance 0 and the run-time instance 1.
class WebBrowserCollection : public QObject {
    Q_OBJECT
public:
    // Creates the designed instance 0 on `container` at `geometry` (pixels), hidden.
    WebBrowserCollection(QWidget* container, const QRect& geometry);
    ~WebBrowserCollection() override;

    int count() const;
    BrowserInstance* item(int index) const;
    // Creates instance `index` with instance 0's size and position, not yet visible.
    BrowserInstance* load(int index);
    // Destroys the instance with any page it holds or loads; its events are never raised.
    void unload(int index);
    // Limits of every navigation from now on, the instances to come included.
    void setLimits(const NavigationLimits& limits);

    // The web engine's helper the instances share, started by the first page that needs it.
    EngineClient* engine();
    // Whether the engine's helper runs, and runs on the program's own network: where the system
    // refuses it a network of its own, its other locks alone keep pages off the network.
    bool engineSharesOurNetwork() const;

signals:
    void DocumentComplete(int index, const QString& url);
    void NavigateError(int index, const QString& url, const QString& message, int httpStatus);

private:
    BrowserInstance* create(int index);

    QWidget* container_;
    NavigationLimits limits_;
    QList<BrowserInstance*> instances_;  // by index; null where unloaded
    EngineClient* engine_ = nullptr;
};

}  // namespace quorvane
