#pragma once

#include "engine_client.h"
#include "page_fetch.h"
#include "static_page_reader.h"

namespace quorvane {

// Everything one navigation of a browser instance is held to, whatever the router sends: the
// network, the making of the page's text, and the whole of it. Tests shorten them.
struct NavigationLimits {
    int pageDeadlineMs = 60'000;  // from Navigate to the document or its failure
    FetchLimits fetch;
    StaticPageReader::Limits reader;
    EngineLimits engine;
};

}  // namespace quorvane
