#include "html_inner_text.h"

#include <string_view>
#include <vector>

#include "element_box.h"
#include "rendered_text_builder.h"

namespace quorvane {
namespace {

bool IsRenderedElement(const GumboNode* node, GumboTag tag) {
    return IsHtmlElement(node, tag) && !HasAttribute(node->v.element, "hidden");
}

bool IsTableSection(const GumboNode* node) {
    return IsHtmlElement(node, GUMBO_TAG_THEAD) || IsHtmlElement(node, GUMBO_TAG_TBODY) ||
           IsHtmlElement(node, GUMBO_TAG_TFOOT);
}

const GumboVector& Siblings(const GumboNode* node) {
    return node->parent->type == GUMBO_NODE_DOCUMENT ? node->parent->v.document.children
                                                     : node->parent->v.element.children;
}

// Whether a later sibling of `node` satisfies `test`. Each scan stops at the first match, and
// the next cell or row is almost always the next element, so a table costs linear time.
template <typename Test>
bool LaterSiblingMatches(const GumboNode* node, Test test) {
    const GumboVector& siblings = Siblings(node);
    for (unsigned i = node->index_within_parent + 1; i < siblings.length; ++i) {
        if (test(static_cast<const GumboNode*>(siblings.data[i]))) return true;
    }
    return false;
}

bool IsLastCellOfRow(const GumboNode* cell) {
    return !LaterSiblingMatches(cell, [](const GumboNode* node) {
        return IsRenderedElement(node, GUMBO_TAG_TD) || IsRenderedElement(node, GUMBO_TAG_TH);
    });
}

// Rows count in document order, through every section of the row's own table.
bool IsLastRowOfTable(const GumboNode* row) {
    auto isRow = [](const GumboNode* node) { return IsRenderedElement(node, GUMBO_TAG_TR); };
    if (LaterSiblingMatches(row, isRow)) return false;
    if (!IsTableSection(row->parent)) return true;
    return !LaterSiblingMatches(row->parent, [&isRow](const GumboNode* node) {
        if (isRow(node)) return true;
        if (!IsTableSection(node) || HasAttribute(node->v.element, "hidden")) return false;
        const GumboVector& rows = node->v.element.children;
        for (unsigned i = 0; i < rows.length; ++i) {
            if (isRow(static_cast<const GumboNode*>(rows.data[i]))) return true;
        }
        return false;
    });
}

// Which children of a box are rendered at all.
bool ChildIsRendered(Box parent, const GumboNode* child, bool& summaryTaken) {
    switch (parent) {
        case Box::Table:
        case Box::TableSection:
        case Box::TableRow:
            // White space between a table's parts forms no box.
            return child->type == GUMBO_NODE_ELEMENT;
        case Box::Select:
            return IsHtmlElement(child, GUMBO_TAG_OPTION) ||
                   IsHtmlElement(child, GUMBO_TAG_OPTGROUP);
        case Box::OptionGroup:
            return IsHtmlElement(child, GUMBO_TAG_OPTION);
        case Box::ClosedDetails:
            if (summaryTaken || !IsHtmlElement(child, GUMBO_TAG_SUMMARY)) return false;
            summaryTaken = true;
            return true;
        default:
            return true;
    }
}

// A textarea's value has its line breaks normalized to LF, a carriage return from "&#13;"
// included, where a <pre> keeps it.
std::string TextAreaValue(std::string_view text) {
    std::string value;
    value.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            value.push_back(text[i]);
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            value.push_back('\n');
        }
    }
    return value;
}

struct Frame {
    const GumboNode* node;
    Box box;
    bool preformatted;
    unsigned nextChild = 0;
    bool summaryTaken = false;
};

class InnerTextWalk {
public:
    QString Run(const GumboNode* body) {
        // An explicit stack: a page may nest elements far deeper than the call stack allows.
        Open(body, false);
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            const GumboVector& children = frame.node->v.element.children;
            if (frame.nextChild < children.length) {
                const auto* child = static_cast<const GumboNode*>(children.data[frame.nextChild++]);
                const bool preformatted = frame.preformatted;
                const bool textArea = frame.box == Box::TextArea;
                // Visit() may grow the stack, so `frame` is not used after it.
                if (!ChildIsRendered(frame.box, child, frame.summaryTaken)) continue;
                if (textArea &&
                    (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)) {
                    text_.appendPreformatted(TextAreaValue(child->v.text.text));
                } else {
                    Visit(child, preformatted);
                }
                continue;
            }
            Close(frame);
            stack_.pop_back();
        }
        return text_.finish();
    }

private:
    void Visit(const GumboNode* node, bool preformatted) {
        switch (node->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA: {
                const std::string_view text(node->v.text.text);
                if (preformatted) {
                    text_.appendPreformatted(text);
                } else {
                    text_.appendCollapsible(text);
                }
                break;
            }
            case GUMBO_NODE_ELEMENT:
                Open(node, preformatted);
                break;
            default:  // comments, template contents
                break;
        }
    }

    // A block-level box stands on lines of its own, a paragraph with a blank line on either side;
    // the same count applies where the box opens and where it closes. Other boxes require none.
    static int RequiredLineBreaks(Box box) {
        switch (box) {
            case Box::Paragraph:
                return 2;
            case Box::Block:
            case Box::Table:
            case Box::Preformatted:
            case Box::TextArea:
            case Box::OptionGroup:
            case Box::ClosedDetails:
                return 1;
            default:
                return 0;
        }
    }

    void Open(const GumboNode* element, bool preformatted) {
        const Box box = BoxOf(*element);
        switch (box) {
            case Box::None:
                return;
            case Box::Replaced:
                text_.appendAtomicInline();
                return;
            case Box::LineBreak:
                text_.appendLineBreak();
                return;
            case Box::InlineBlock:
            case Box::Select:
                text_.appendAtomicInline();
                text_.endLine();
                break;
            case Box::TableRow:
            case Box::TableCell:
                text_.endLine();
                break;
            default:
                if (RequiredLineBreaks(box) > 0) text_.requireLineBreaks(RequiredLineBreaks(box));
                break;
        }
        const bool keepsWhiteSpace = box == Box::Preformatted || box == Box::TextArea;
        stack_.push_back({element, box, preformatted || keepsWhiteSpace});
    }

    void Close(const Frame& frame) {
        switch (frame.box) {
            case Box::InlineBlock:
            case Box::Select:
                text_.endLine();
                text_.appendAtomicInline();
                break;
            case Box::TableRow:
                text_.endLine();
                if (!IsLastRowOfTable(frame.node)) text_.appendLineBreak();
                break;
            case Box::TableCell:
                text_.endLine();
                if (!IsLastCellOfRow(frame.node)) text_.appendTab();
                break;
            default:
                if (RequiredLineBreaks(frame.box) > 0) {
                    text_.requireLineBreaks(RequiredLineBreaks(frame.box));
                }
                break;
        }
    }

    std::vector<Frame> stack_;
    RenderedTextBuilder text_;
};

const GumboNode* BodyOf(const GumboNode* root) {
    if (root == nullptr || root->type != GUMBO_NODE_ELEMENT) return nullptr;
    const GumboVector& children = root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (IsHtmlElement(child, GUMBO_TAG_BODY) || IsHtmlElement(child, GUMBO_TAG_FRAMESET)) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

QString RenderedBodyText(const GumboNode* root) {
    const GumboNode* body = BodyOf(root);
    if (body == nullptr) return {};
    return InnerTextWalk().Run(body);
}

}  // namespace quorvane
