#pragma once

#include "fetch_failure.h"
#include "log_kind.h"

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
    std::optional<FetchFailure> failure;
};

inline constexpr char kRouterUser[] = "admin";

// The log page that a request fetches.
QString LogPagePath(LogKind kind);
// The request that makes the router clear that log.
QString ClearLogPath(LogKind kind);

// The clear request for the log page at `logPageUrl`: the same router, which the browser
// component gives the credentials it keeps for it.
QUrl ClearRequestUrl(const QUrl& logPageUrl, LogKind kind);

// http://admin:<password>@<address>:<port><pathAndQuery>. The password is carried whole, whatever
// it contains (percent-encoded where the URL syntax needs it); address and port are taken as
// typed, and one that does not make a valid URL is refused rather than sent somewhere else.
RouterUrl ComposeRouterUrl(const RouterLogin& login, const QString& pathAndQuery);

}  // namespace quorvane
