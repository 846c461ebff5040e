#pragma once

#include <gumbo.h>

#include <string_view>

namespace quorvane {

// Whether the static renderer gives the document exactly the text that a browser engine gives
// it: nothing in it runs script or brings style (a script, an event handler, a style element or
// attribute, a linked style sheet), and every element is one whose rendering was checked against
// the engine's. `root` is the <html> element of a parse of `source`, UTF-8.
bool IsStaticMarkup(const GumboNode* root, std::string_view source);

// Whether elements of this tag may be rendered statically, in some of their forms at least; a
// page with any other element needs the engine.
bool IsCheckedTag(GumboTag tag);

// Whether an attribute of this name runs script (an event handler, "on..."), or brings style.
bool IsScriptOrStyleAttribute(std::string_view name);

// Whether a link's rel value, a list of tokens, names a style sheet.
bool NamesStyleSheet(std::string_view rel);

// Whether the source is cut off inside a tag or comment: the engine drops white space still
// pending in a table at that point, which the parser here keeps.
bool EndsInsideMarkup(std::string_view source);

}  // namespace quorvane
