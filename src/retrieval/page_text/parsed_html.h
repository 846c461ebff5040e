#pragma once

#include <gumbo.h>

#include <QByteArray>
#include <string_view>

namespace quorvane {

// An HTML5 parse of a page held in UTF-8. Gumbo's own clean-up recurses once per nesting level
// and overflows the stack on deeply nested pages, so the tree's memory is owned here instead and
// released block by block without walking the tree.
class ParsedHtml {
public:
    explicit ParsedHtml(QByteArray utf8);
    ~ParsedHtml();
    ParsedHtml(const ParsedHtml&) = delete;
    ParsedHtml& operator=(const ParsedHtml&) = delete;

    // The <html> element, or null if the parser gave nothing.
    const GumboNode* root() const;
    // The text that source positions in the tree refer to.
    std::string_view source() const { return {source_.constData(), size_t(source_.size())}; }

private:
    struct Block;
    static void* allocate(void* self, size_t size);
    static void release(void* self, void* memory);

    QByteArray source_;        // the tree points into it
    Block* blocks_ = nullptr;  // every live allocation of the parse, doubly linked
    GumboOutput* output_ = nullptr;
};

}  // namespace quorvane
