#pragma once

#include <QList>
#include <QWebEngineScript>

namespace quorvane {

// The scripts that every frame of every router page gets before any of the page's own run; with
// `shutWebRtc` false, tests see what a page could do without that layer.
QList<QWebEngineScript> PageScripts(bool shutWebRtc = true);

}  // namespace quorvane
