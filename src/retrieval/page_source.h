#pragma once

#include "page_failure.h"

#include <QObject>
#include <QString>
#include <QUrl>

namespace quorvane {

// The empty page: a press's page goes there once the press is done with it.
inline constexpr char kBlankPage[] = "about:blank";

// What a press reads its router through: one page at a time, asynchronously. The loader of
// page_loader.h is the one the program uses; a job's tests put a stand-in in its place.
//
// Each navigation ends in exactly one of the two signals, later on the event loop and never
// inside the call that started it, and not at all once a newer navigation has started or the
// source is gone.
class PageSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Reads the page at `url`. The URL's user information is taken out of it and kept for the
    // URL's origin; it is sent as HTTP basic credentials there only. "about:blank" completes with
    // an empty document.
    virtual void Navigate(const QUrl& url) = 0;
    // Sends a request whose answer is the router's word, not a page: a 2xx answer completes it
    // with an empty document at `url` itself.
    virtual void Submit(const QUrl& url) = 0;

    // The plain text of the completed document's body, lines ended by CR LF.
    virtual QString bodyText() const = 0;
    // The address of the completed document, without user information.
    virtual QUrl documentUrl() const = 0;

signals:
    void DocumentComplete(const QString& url);
    void NavigateError(const QString& url, const quorvane::PageFailure& failure);
};

}  // namespace quorvane
