#pragma once

#include "page_fetch.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

namespace quorvane {

// One browser instance: a widget that the user never sees (it stands outside the window) and
// that fetches a page asynchronously and keeps the text of its body.
class BrowserInstance : public QWidget {
    Q_OBJECT
public:
    BrowserInstance(int index, QWidget* parent);

    int index() const { return index_; }

    // Starts an asynchronous fetch and returns at once; a fetch still under way is abandoned.
    // The URL's user information is sent as HTTP basic credentials, to the URL's origin only.
    // "about:blank" completes with an empty document.
    void Navigate(const QUrl& url);

    // Limits of the fetches that start from now on.
    void setFetchLimits(const FetchLimits& limits) { fetchLimits_ = limits; }

    // The plain text of the completed document's body, lines ended by CR LF.
    const QString& bodyText() const { return bodyText_; }

signals:
    void DocumentComplete(int index, const QString& url);
    // A navigation that did not bring back a page: the message is a plain sentence for the user.
    void NavigateError(int index, const QString& url, const QString& message, int httpStatus);

private:
    void complete(const QUrl& url, const QByteArray& body, const QByteArray& contentType);
    void abandonFetch();

    int index_;
    QPointer<PageFetch> fetch_;
    FetchLimits fetchLimits_;
    quint64 navigation_ = 0;
    QString bodyText_;
};

// The WebBrowser control array: the designed instance 0 and the run-time instance 1.
class WebBrowserCollection : public QObject {
    Q_OBJECT
public:
    // Creates the designed instance 0 on `container` at `geometry` (pixels), hidden.
    WebBrowserCollection(QWidget* container, const QRect& geometry);

    int count() const;
    BrowserInstance* item(int index) const;
    // Creates instance `index` with instance 0's size and position, not yet visible.
    BrowserInstance* load(int index);
    // Destroys the instance with any page it holds or loads; its events are never raised.
    void unload(int index);
    // Limits of every fetch that an instance starts from now on, the instances to come included.
    void setFetchLimits(const FetchLimits& limits);

signals:
    void DocumentComplete(int index, const QString& url);
    void NavigateError(int index, const QString& url, const QString& message, int httpStatus);

private:
    BrowserInstance* create(int index);

    QWidget* container_;
    FetchLimits fetchLimits_;
    QList<BrowserInstance*> instances_;  // by index; null where unloaded
};

}  // namespace quorvane
