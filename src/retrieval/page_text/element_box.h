#pragma once

#include <gumbo.h>

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
    OptionGroup,    // shows its options only
    ClosedDetails,  // shows its first summary only
};

// The box of an element with the default style sheet; an element with the hidden attribute
// has none.
Box BoxOf(const GumboElement& element);

bool HasAttribute(const GumboElement& element, const char* name);

}  // namespace quorvane
