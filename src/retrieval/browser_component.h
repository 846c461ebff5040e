#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

namespace quorvane {

class EngineHost;
class EngineRender;
class PageFetch;
class WebBrowserCollection;

// One browser instance: a widget that the user never sees (it stands outside the window) and
// that fetches a page asynchronously and keeps the text of its body.
class BrowserInstance : public QWidget {
    Q_OBJECT
public:
    BrowserInstance(int index, WebBrowserCollection* collection, QWidget* parent);

    int index() const { return index_; }

    // Starts an asynchronous fetch and returns at once; a fetch still under way is abandoned.
    // The URL's user information is sent as HTTP basic credentials, to the URL's origin only.
    // "about:blank" completes with an empty document.
    void Navigate(const QUrl& url);

    // The plain text of the completed document's body, lines ended by CR LF.
    const QString& bodyText() const { return bodyText_; }
    // The address of the completed document with the user information it was read with.
    const QUrl& documentUrl() const { return documentUrl_; }

signals:
    void DocumentComplete(int index, const QString& url);
    // A navigation that did not bring back a page: the message is a plain sentence for the user.
    void NavigateError(int index, const QString& url, const QString& message, int httpStatus);

private:
    void complete(const QUrl& url, const QByteArray& body, const QByteArray& contentType);
    void abandonFetch();
    void abandonRender();

    int index_;
    WebBrowserCollection* collection_;
    QUrl requested_;  // with the user information its resources are read with
    QPointer<PageFetch> fetch_;
    QPointer<EngineRender> render_;
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

    // The web engine the instances share, started by the first page that needs it.
    EngineHost* engine();

signals:
    void DocumentComplete(int index, const QString& url);
    void NavigateError(int index, const QString& url, const QString& message, int httpStatus);

private:
    BrowserInstance* create(int index);

    QWidget* container_;
    QList<BrowserInstance*> instances_;  // by index; null where unloaded
    EngineHost* engine_ = nullptr;
};

}  // namespace quorvane
