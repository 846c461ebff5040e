#pragma once

#include <gumbo.h>

#include <QString>

namespace quorvane {

// The innerText of the body of a parsed document (the first <body> or <frameset> child of the
// <html> element `root`), rendered with the default display of every element. Lines are
// separated by CR LF, and a text that holds anything ends with CR LF. A textarea's text is
// included as preformatted text on lines of its own, which browsers leave out, because routers
// show logs in read-only text areas.
QString RenderedBodyText(const GumboNode* root);

}  // namespace quorvane
