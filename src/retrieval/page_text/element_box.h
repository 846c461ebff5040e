#pragma once

#include <gumbo.h>

#include <string_view>

namespace quorvane {

// How an element takes part in the rendered text, from the default style sheet of the HTML
// standard's rendering section.
enum class Box {
    None,          // display: none, or content that is never rendered (script, video, ...)
    Inline,        // its text flows with the text around it
    InlineBlock,   // an inline box whose content forms lines of its own (button)
    Replaced,      // an inline box without text of its own (img, input)
    Block,         // block-level: a line break before and after
    Paragraph,     // <p>: a blank line before and after
    Preformatted,  // block-level, white space kept in all of its content
    LineBreak,     // <br>
    Table,         // block-level; stray white space among its parts is not rendered
    TableSection,  // thead, tbody, tfoot
    TableRow,
    TableCell,
    Select,         // an inline block that shows its options and option groups only
    OptionGroup,    // block-level, but shows its options only
    TextArea,       // preformatted; its text is the control's value, line breaks made LF
    ClosedDetails,  // shows its first summary only
};

// The box of an element with the default style sheet and the presentational attributes that
// change it; an element with the hidden attribute has none. Takes the node because some rules
// depend on the parent.
Box BoxOf(const GumboNode& node);

bool HasAttribute(const GumboElement& element, const char* name);
// Whether `node` is an element of the HTML namespace with the tag; false for null.
bool IsHtmlElement(const GumboNode* node, GumboTag tag);
// Whether the attribute is present and its value is `value`, ignoring ASCII letter case, as
// attribute selectors with the "i" flag match.
bool AttributeEquals(const GumboElement& element, const char* name, std::string_view value);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace quorvane
