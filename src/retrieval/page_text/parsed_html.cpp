#include "parsed_html.h"

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

namespace quorvane {

struct alignas(std::max_align_t) ParsedHtml::Block {
    Block* previous;
    Block* next;
};

void* ParsedHtml::allocate(void* self, size_t size) {
    auto* document = static_cast<ParsedHtml*>(self);
    void* memory = std::malloc(sizeof(Block) + size);
    // Gumbo neither checks for failure nor can be unwound through.
    if (memory == nullptr) std::abort();
    auto* block = new (memory) Block{nullptr, document->blocks_};
    if (document->blocks_ != nullptr) document->blocks_->previous = block;
    document->blocks_ = block;
    return block + 1;
}

void ParsedHtml::release(void* self, void* memory) {
    if (memory == nullptr) return;
    auto* document = static_cast<ParsedHtml*>(self);
    Block* block = static_cast<Block*>(memory) - 1;
    if (block->previous != nullptr) {
        block->previous->next = block->next;
    } else {
        document->blocks_ = block->next;
    }
    if (block->next != nullptr) block->next->previous = block->previous;
    std::free(block);
}

ParsedHtml::ParsedHtml(QByteArray utf8) : source_(std::move(utf8)) {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &ParsedHtml::allocate;
    options.deallocator = &ParsedHtml::release;
    options.userdata = this;
    // Gumbo copies the whole stack of open elements into every parse error it records, which on
    // a deeply nested page takes memory that grows with the square of the depth. Nothing here
    // reads the errors.
    options.max_errors = 0;
    output_ = gumbo_parse_with_options(&options, source_.constData(),
                                       static_cast<size_t>(source_.size()));
}

ParsedHtml::~ParsedHtml() {
    while (blocks_ != nullptr) {
        Block* next = blocks_->next;
        std::free(blocks_);
        blocks_ = next;
    }
}

const GumboNode* ParsedHtml::root() const { return output_ != nullptr ? output_->root : nullptr; }

}  // namespace quorvane
