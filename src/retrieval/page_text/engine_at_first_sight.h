#pragma once

#include <QByteArrayView>

namespace quorvane {

// Whether one look at a fetched page's bytes already shows that only the web engine can give its
// text, as the static reader would find after a parse: an HTML page with an element whose static
// rendering was never checked (a script or style element among them), a style or event handler
// attribute, a linked style sheet, or its end inside a tag; an XHTML page; a page whose encoding
// is left to a guess. Such a page goes to the engine without the reader's detour, and the reader
// (StaticPageText) refuses it too. A page that is not found here may still need the engine, for
// the reader's checks of the parsed tree.
//
// The look at the markup is a single forward pass that knows just enough of HTML's tag syntax to
// find tag names, attribute names and quoted values, and skips comments. It parses nothing,
// allocates nothing and looks at each byte a bounded number of times, so a hostile page costs the
// window's process a scan, never a parse (router markup is parsed in the page reader, under its
// limits). It may err either way without harm: markup that only looks like a tag (inside a text
// area, say) costs the engine's time, never a wrong text, and markup it misses, behind an
// encoding that is not ASCII-compatible or behind character references, still meets the reader's
// checks, which send it to the engine.
bool NeedsEngineAtFirstSight(QByteArrayView body, QByteArrayView contentType);

}  // namespace quorvane
