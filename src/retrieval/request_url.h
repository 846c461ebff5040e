#pragma once

#include "log_kind.h"
#include "page_failure.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace quorvane {

// The three input boxes the router's URLs are composed from, as typed.
struct RouterLogin {
    QString password;
    QString address;
    QString port;
};

// A composed URL, or why the typed address or port cannot make one.
struct RouterUrl {
    QUrl url;  // valid only without a failure
    std::optional<PageFailure> failure;
};

inline constexpr char kRouterUser[] = "admin";

// The log page that a request fetches.
QString LogPagePath(LogKind kind);
// The request that makes the router clear that log.
QString ClearLogPath(LogKind kind);

// Whether the window may send `target` to the router, with the credentials it keeps there, as
// one of the page's own requests (a script's, a style sheet's...). Reading and clearing the logs
// is the window's alone, at the user's word: a page may ask for neither log page, however
// spelled (case, percent-encoding, dot segments, slashes), nor send any query that speaks of
// clearing or names a log page, since a router's pages act on the parameter and forward to the
// page named in their query. The page's own log page it never needs: its engine already holds it.
// (The engine's client keeps the page to GET, to its own router and to addresses without user
// information; see EngineReading.)
bool PageMayRequest(const QUrl& target);

// The clear request for the log page at `logPageUrl`: the same router, which the browser
// component gives the credentials it keeps for it.
QUrl ClearRequestUrl(const QUrl& logPageUrl, LogKind kind);

// http://admin:<password>@<address>:<port><pathAndQuery>. The password is carried whole, whatever
// it contains (percent-encoded where the URL syntax needs it); address and port are taken as
// typed, and one that does not make a valid URL is refused rather than sent somewhere else.
RouterUrl ComposeRouterUrl(const RouterLogin& login, const QString& pathAndQuery);

}  // namespace quorvane
