#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quorvane {

// Assembles rendered text as the innerText algorithm does: white space collapses as in CSS
// "white-space: normal" across element boundaries and disappears at the start and end of a
// line; runs of required line breaks (block and paragraph edges) collapse to their largest
// count and vanish at the start and end of the text. Works on UTF-8, where every character that
// collapses is a single ASCII byte, and grows one buffer, so that it stays linear in the size of
// the page.
class RenderedTextBuilder {
public:
    // Text of an element with collapsing white space.
    void appendCollapsible(std::string_view utf8);
    // Text whose white space is kept (pre, textarea and their descendants).
    void appendPreformatted(std::string_view utf8);
    // The edge of a block-level box: `count` line breaks at least, 2 for a paragraph.
    void requireLineBreaks(int count);
    // The edge of a box that starts its own lines but asks for no line break (a table cell).
    void endLine();
    // A replaced or inline-block box: it is content, so spaces on either side of it are kept.
    void appendAtomicInline();
    // Forced line end (<br>, the end of a table row that is not the last).
    void appendLineBreak();
    // The separator after a table cell that is not the last of its row.
    void appendTab();

    // The text with CR LF line ends, ending in CR LF unless empty.
    QString finish();

private:
    void flushLineBreaks();

    std::string text_;  // UTF-8, line ends already CR LF
    int pendingLineBreaks_ = 0;
    bool pendingSpace_ = false;
    bool atLineStart_ = true;
};

}  // namespace quorvane
