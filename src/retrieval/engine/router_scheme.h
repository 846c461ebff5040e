#pragma once

#include <QUrl>

namespace quorvane {

// QTWEBENGINE_6_4_QUIRK router-scheme: the engine refuses a scheme handler for http, and a request
// interceptor cannot supply a body. So the engine never talks to the network itself: the pages it
// renders live under a scheme of our own whose host and port are the router's, so that the page's
// origin, its relative addresses and its scripts' view of `location` stay those of the router,
// while every byte the engine gets comes through our own bounded fetch.
inline constexpr char kRouterScheme[] = "router";

// Registers the scheme with the engine. Must run before the engine's first profile is made.
void RegisterRouterScheme();

// http://host:port/path?query <-> router://host:port/path?query; user information is dropped.
QUrl ToRouterScheme(const QUrl& httpUrl);
QUrl ToHttpScheme(const QUrl& routerUrl);

}  // namespace quorvane
