#include "static_markup.h"

#include <algorithm>
#include <vector>

#include "ascii.h"
#include "control_char_shield.h"
#include "element_box.h"

namespace quorvane {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool IsCheckedInputType(const GumboElement& input) {
    const GumboAttribute* type = gumbo_get_attribute(&input.attributes, "type");
    if (type == nullptr) return true;
    for (const char* checked :
         {"text", "password", "hidden", "submit", "reset", "button", "checkbox", "radio"}) {
        if (EqualsNoCase(type->value, checked)) return true;
    }
    return false;
}

// Options and option groups the engine renders as a select's list only; outside one, their
// content lays out in ways of its own.
bool IsInSelect(const GumboNode* node) {
    const GumboNode* parent = node->parent;
    if (IsHtmlElement(node, GUMBO_TAG_OPTION) && IsHtmlElement(parent, GUMBO_TAG_OPTGROUP)) {
        parent = parent->parent;
    }
    return IsHtmlElement(parent, GUMBO_TAG_SELECT);
}

// A fieldset lays out its first legend apart from the rest of its content: once text or an
// element came before that legend in the fieldset, the engine keeps the white space on either
// side of it, at the end and start of lines. A legend after the first is an ordinary block.
bool IsCheckedLegend(const GumboNode* legend) {
    const GumboNode* fieldset = legend->parent;
    if (!IsHtmlElement(fieldset, GUMBO_TAG_FIELDSET)) return true;
    const GumboVector& siblings = fieldset->v.element.children;
    for (unsigned i = 0; i < legend->index_within_parent; ++i) {
        const auto* earlier = static_cast<const GumboNode*>(siblings.data[i]);
        if (IsHtmlElement(earlier, GUMBO_TAG_LEGEND)) {
            return !HasAttribute(earlier->v.element, "hidden");
        }
        if (earlier->type != GUMBO_NODE_WHITESPACE && earlier->type != GUMBO_NODE_COMMENT) {
            return false;
        }
    }
    return true;
}

// Column groups come before a table's rows; the engine gives one that stands after some of them
// a blank line of its own between rows.
bool FollowsTableRows(const GumboNode* columns) {
    const GumboVector& siblings = columns->parent->v.element.children;
    for (unsigned i = 0; i < columns->index_within_parent; ++i) {
        const auto* earlier = static_cast<const GumboNode*>(siblings.data[i]);
        if (IsHtmlElement(earlier, GUMBO_TAG_TBODY) || IsHtmlElement(earlier, GUMBO_TAG_THEAD) ||
            IsHtmlElement(earlier, GUMBO_TAG_TFOOT) || IsHtmlElement(earlier, GUMBO_TAG_TR)) {
            return true;
        }
    }
    return false;
}

}  // namespace

// The elements of router pages whose static rendering was compared with the engine's, in every
// combination a page generator made of them. Left out although common: <wbr>, after which the
// engine drops a line break as it does next to a zero-width space.
bool IsCheckedTag(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_HTML:
        case GUMBO_TAG_BODY:
        case GUMBO_TAG_TEXTAREA:
        case GUMBO_TAG_OPTION:
        case GUMBO_TAG_OPTGROUP:
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_LINK:
        case GUMBO_TAG_LEGEND:
        case GUMBO_TAG_COLGROUP:
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_HEAD:
        case GUMBO_TAG_TITLE:
        case GUMBO_TAG_META:
        case GUMBO_TAG_BASE:
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_P:
        case GUMBO_TAG_SPAN:
        case GUMBO_TAG_PRE:
        case GUMBO_TAG_BR:
        case GUMBO_TAG_HR:
        case GUMBO_TAG_CENTER:
        case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_ADDRESS:
        case GUMBO_TAG_H1:
        case GUMBO_TAG_H2:
        case GUMBO_TAG_H3:
        case GUMBO_TAG_H4:
        case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
        case GUMBO_TAG_A:
        case GUMBO_TAG_B:
        case GUMBO_TAG_I:
        case GUMBO_TAG_U:
        case GUMBO_TAG_S:
        case GUMBO_TAG_STRIKE:
        case GUMBO_TAG_EM:
        case GUMBO_TAG_STRONG:
        case GUMBO_TAG_SMALL:
        case GUMBO_TAG_BIG:
        case GUMBO_TAG_TT:
        case GUMBO_TAG_CODE:
        case GUMBO_TAG_FONT:
        case GUMBO_TAG_NOBR:
        case GUMBO_TAG_SUP:
        case GUMBO_TAG_SUB:
        case GUMBO_TAG_LABEL:
        case GUMBO_TAG_UL:
        case GUMBO_TAG_OL:
        case GUMBO_TAG_LI:
        case GUMBO_TAG_DL:
        case GUMBO_TAG_DT:
        case GUMBO_TAG_DD:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_CAPTION:
        case GUMBO_TAG_COL:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_TFOOT:
        case GUMBO_TAG_TR:
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
        case GUMBO_TAG_FORM:
        case GUMBO_TAG_FIELDSET:
        case GUMBO_TAG_SELECT:
        case GUMBO_TAG_BUTTON:
            return true;
        default:
            return false;
    }
}

bool IsScriptOrStyleAttribute(std::string_view name) {
    return StartsWithNoCase(name, "on") || EqualsNoCase(name, "style");
}

bool NamesStyleSheet(std::string_view rel) {
    std::size_t pos = 0;
    while (pos < rel.size()) {
        while (pos < rel.size() && IsAsciiSpace(rel[pos])) ++pos;
        std::size_t end = pos;
        while (end < rel.size() && !IsAsciiSpace(rel[end])) ++end;
        if (EqualsNoCase(rel.substr(pos, end - pos), "stylesheet")) return true;
        pos = end;
    }
    return false;
}

namespace {

// Of the checked elements, some only in some of their forms and places.
bool IsCheckedElement(const GumboNode* node) {
    const GumboElement& element = node->v.element;
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML || !IsCheckedTag(element.tag)) return false;
    switch (element.tag) {
        // A hidden <html> or <body> is not rendered, and then innerText is the raw text of
        // every descendant; hidden options and text areas the engine shows all the same.
        case GUMBO_TAG_HTML:
        case GUMBO_TAG_BODY:
        case GUMBO_TAG_TEXTAREA:
            return !HasAttribute(element, "hidden");
        case GUMBO_TAG_OPTION:
        case GUMBO_TAG_OPTGROUP:
            return !HasAttribute(element, "hidden") && IsInSelect(node);
        // An image floated by its align attribute leaves the white space before it in the line.
        case GUMBO_TAG_IMG:
            return !AttributeEquals(element, "align", "left") &&
                   !AttributeEquals(element, "align", "right");
        case GUMBO_TAG_LINK: {
            const GumboAttribute* rel = gumbo_get_attribute(&element.attributes, "rel");
            return rel == nullptr || !NamesStyleSheet(rel->value);
        }
        case GUMBO_TAG_LEGEND:
            return IsCheckedLegend(node);
        case GUMBO_TAG_COLGROUP:
            return !FollowsTableRows(node);
        case GUMBO_TAG_INPUT:
            return IsCheckedInputType(element);
        default:
            return true;
    }
}

// An element hidden "until found" stays in the layout.
bool HasOnlyInertAttributes(const GumboElement& element) {
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
        const std::string_view name(attribute->name);
        if (IsScriptOrStyleAttribute(name)) return false;
        if (EqualsNoCase(name, "hidden") && EqualsNoCase(attribute->value, "until-found")) {
            return false;
        }
    }
    return true;
}

bool IsFormEndTagAt(std::string_view source, std::size_t pos) {
    const std::string_view rest = source.substr(pos);
    return StartsWithNoCase(rest, "</form") &&
           (rest.size() == 6 || IsAsciiSpace(rest[6]) || rest[6] == '/' || rest[6] == '>');
}

std::size_t FindFormEndTag(std::string_view source, std::size_t from) {
    for (std::size_t pos = source.find('<', from); pos != std::string_view::npos;
         pos = source.find('<', pos + 1)) {
        if (IsFormEndTagAt(source, pos)) return pos;
    }
    return std::string_view::npos;
}

// Where the source of an element and everything in it ends, as far as the tree tells.
std::size_t SourceEnd(const GumboNode* element) {
    std::size_t end = element->v.element.start_pos.offset + element->v.element.original_tag.length;
    for (const GumboNode* node = element;;) {
        const GumboVector& children = node->v.element.children;
        if (children.length == 0) return end;
        node = static_cast<const GumboNode*>(children.data[children.length - 1]);
        if (node->type != GUMBO_NODE_ELEMENT) {
            return std::max(end, node->v.text.start_pos.offset + node->v.text.original_text.length);
        }
        const GumboElement& last = node->v.element;
        end = std::max(end, last.start_pos.offset + last.original_tag.length);
        if (last.original_end_tag.length > 0) {
            return std::max(end, last.end_pos.offset + last.original_end_tag.length);
        }
    }
}

// This parser closes a form at "</form>" without placing the text that came just before the end
// tag: that text lands after the form instead of in it, and the form keeps no end position.
// Text that follows such a form was written after it only if the "</form>" lies in between.
// Misplaced text that is collapsible white space at the edge of a block outside preformatted
// content renders the same in either place; anything else the engine has to read.
bool IsPlacedAsWritten(const GumboNode* text, const GumboNode* previous, bool preformatted,
                       std::string_view source) {
    if (!IsHtmlElement(previous, GUMBO_TAG_FORM)) return true;
    const GumboElement& form = previous->v.element;
    if (form.end_pos.offset != 0 || form.original_end_tag.length != 0) return true;
    const std::size_t start = text->v.text.start_pos.offset;
    const std::size_t formEnd = SourceEnd(previous);
    if (start > source.size() || formEnd > start) return false;
    const std::size_t endTag = FindFormEndTag(source, formEnd);
    if (endTag < start) return true;
    if (preformatted || BoxOf(*previous) != Box::Block || endTag == std::string_view::npos) {
        return false;
    }
    for (const char c : source.substr(start, endTag - start)) {
        if (!IsAsciiSpaceButFormFeed(c)) return false;
    }
    return true;
}

// A "</form>" that did not end the form it stands in, as one inside a table inside the form:
// this parser and the engine's disagree on where the content after it belongs.
bool HoldsUnmatchedFormEndTag(const GumboNode* form, std::string_view source) {
    const GumboElement& element = form->v.element;
    if (element.original_end_tag.length != 0) return false;
    const std::size_t end = SourceEnd(form);
    return FindFormEndTag(source, element.start_pos.offset) < std::min(end, source.size());
}

// Elements that set white space handling of their own, where their effect inside preformatted
// text was not checked: a table in quirks mode, nobr, a cell with nowrap, a select's options.
bool ChangesWhiteSpace(const GumboElement& element) {
    switch (element.tag) {
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_NOBR:
        case GUMBO_TAG_SELECT:
            return true;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
            return HasAttribute(element, "nowrap");
        default:
            return false;
    }
}

bool IsVoid(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_BR:
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_HR:
        case GUMBO_TAG_WBR:
        case GUMBO_TAG_META:
        case GUMBO_TAG_LINK:
        case GUMBO_TAG_BASE:
        case GUMBO_TAG_COL:
            return true;
        default:
            return false;
    }
}

// Where in the source an element's content starts. A formatting element that the parser opened
// again to hold later content carries the position of the tag it copies, so its content tells.
std::size_t SourcePosition(const GumboNode* element) {
    while ((element->parse_flags & GUMBO_INSERTION_RECONSTRUCTED_FORMATTING_ELEMENT) != 0 &&
           element->v.element.children.length > 0) {
        const auto* first = static_cast<const GumboNode*>(element->v.element.children.data[0]);
        if (first->type != GUMBO_NODE_ELEMENT) return first->v.text.start_pos.offset;
        element = first;
    }
    return element->v.element.start_pos.offset;
}

// The parser moves an element that a table may not hold out in front of the table ("foster
// parenting"): it comes before the table in the tree but after the table's start in the source.
// While such an element stays open, the markup after it is parsed in the table's insertion mode,
// where the engine places white space differently.
bool HoldsOpenFosteredElement(const GumboNode* parent) {
    const GumboVector& children = parent->v.element.children;
    std::size_t firstTableStart = std::string_view::npos;
    for (unsigned i = children.length; i-- > 0;) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type != GUMBO_NODE_ELEMENT) continue;
        const GumboElement& element = child->v.element;
        if (element.tag == GUMBO_TAG_TABLE) {
            firstTableStart = std::min<std::size_t>(firstTableStart, element.start_pos.offset);
        } else if (firstTableStart != std::string_view::npos && !IsVoid(element.tag) &&
                   SourcePosition(child) > firstTableStart) {
            return true;
        }
    }
    return false;
}

// The engine counts a vertical tab as white space when it decides whether a text is nothing but
// white space, and such a text between blocks or first in one it leaves out; anywhere else it
// shows the character. One written as a byte comes here as its shielded stand-in.
bool IsWhiteSpaceWithVerticalTab(std::string_view text) {
    static const QByteArray standIn = ShieldControlCharacters(QString(QChar(u'\v'))).toUtf8();
    const std::string_view standInView(standIn.constData(), std::size_t(standIn.size()));
    bool verticalTab = false;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i).starts_with(standInView) || text[i] == '\v') {
            verticalTab = true;
            i += text[i] == '\v' ? 1 : standInView.size();
        } else if (IsAsciiSpace(text[i])) {
            ++i;
        } else {
            return false;
        }
    }
    return verticalTab;
}

// The engine collapses a form feed in some places and keeps it in others, and removes a
// collapsed line break next to a zero-width space by rules of its own across element edges.
bool HasOnlyCheckedCharacters(std::string_view text) {
    return text.find('\f') == std::string_view::npos &&
           text.find("\xE2\x80\x8B") == std::string_view::npos &&
           !IsWhiteSpaceWithVerticalTab(text);
}

}  // namespace

bool EndsInsideMarkup(std::string_view source) {
    const std::size_t open = source.rfind('<');
    if (open == std::string_view::npos || source.find('>', open) != std::string_view::npos) {
        return false;
    }
    if (open + 1 >= source.size()) return false;
    const char next = source[open + 1];
    return IsAsciiLetter(next) || next == '/' || next == '!' || next == '?';
}

namespace {

// A NUL right after a "<" that opens no tag: the engine's parser keeps it in the text as U+FFFD,
// where this one drops it as it drops other NULs in text.
bool HasNulAfterLessThan(std::string_view source) {
    return source.find(std::string_view("<\0", 2)) != std::string_view::npos;
}

// Whether the document is surely in no-quirks mode or surely in quirks mode: the first holds for
// the plain HTML doctype, the second for none at all. This parser judges many old doctypes
// wrongly, and the mode decides whether a table closes an open paragraph.
enum class Quirks { No, Yes, Unknown };

Quirks QuirksOf(const GumboNode* root) {
    const GumboNode* document = root->parent;
    if (document == nullptr || document->type != GUMBO_NODE_DOCUMENT) return Quirks::Unknown;
    const GumboDocument& doctype = document->v.document;
    if (!doctype.has_doctype) return Quirks::Yes;
    const std::string_view system(doctype.system_identifier);
    if (EqualsNoCase(doctype.name, "html") && *doctype.public_identifier == '\0' &&
        (system.empty() || system == "about:legacy-compat")) {
        return Quirks::No;
    }
    return Quirks::Unknown;
}

// A table inside a paragraph, or one that closed the paragraph before it, is where the modes part.
// Content moved out in front of the table (foster parenting) may stand between the two.
bool DependsOnQuirks(const GumboNode* table) {
    if (IsHtmlElement(table->parent, GUMBO_TAG_P)) return true;
    const std::size_t start = table->v.element.start_pos.offset;
    const GumboVector& siblings = table->parent->v.element.children;
    for (unsigned i = table->index_within_parent; i-- > 0;) {
        const auto* previous = static_cast<const GumboNode*>(siblings.data[i]);
        if (previous->type != GUMBO_NODE_ELEMENT) continue;
        if (SourcePosition(previous) > start) continue;  // moved out of the table
        return IsHtmlElement(previous, GUMBO_TAG_P) &&
               previous->v.element.original_end_tag.length == 0 &&
               previous->v.element.end_pos.offset == start;
    }
    return false;
}

struct Frame {
    const GumboNode* node;
    bool preformatted;
    unsigned nextChild = 0;
};

}  // namespace

bool IsStaticMarkup(const GumboNode* root, std::string_view source) {
    if (EndsInsideMarkup(source) || HasNulAfterLessThan(source)) return false;
    if (root == nullptr || root->type != GUMBO_NODE_ELEMENT) return true;
    const Quirks quirks = QuirksOf(root);
    if (!IsCheckedElement(root) || !HasOnlyInertAttributes(root->v.element) ||
        HoldsOpenFosteredElement(root)) {
        return false;
    }
    // An explicit stack: a page may nest elements far deeper than the call stack allows.
    std::vector<Frame> stack{{root, false}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const GumboVector& children = frame.node->v.element.children;
        if (frame.nextChild >= children.length) {
            stack.pop_back();
            continue;
        }
        const unsigned index = frame.nextChild++;
        const auto* child = static_cast<const GumboNode*>(children.data[index]);
        switch (child->type) {
            case GUMBO_NODE_ELEMENT: {
                const GumboElement& element = child->v.element;
                if (!IsCheckedElement(child) || !HasOnlyInertAttributes(element)) return false;
                if (frame.preformatted && ChangesWhiteSpace(element)) return false;
                if (HoldsOpenFosteredElement(child)) return false;
                if (element.tag == GUMBO_TAG_FORM && HoldsUnmatchedFormEndTag(child, source)) {
                    return false;
                }
                if (quirks == Quirks::Unknown && IsHtmlElement(child, GUMBO_TAG_TABLE) &&
                    DependsOnQuirks(child)) {
                    return false;
                }
                const bool preformatted = frame.preformatted || element.tag == GUMBO_TAG_PRE;
                stack.push_back({child, preformatted});  // `frame` is not used after this
                break;
            }
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
                if (!HasOnlyCheckedCharacters(child->v.text.text)) return false;
                if (index > 0 && !IsPlacedAsWritten(
                                     child, static_cast<const GumboNode*>(children.data[index - 1]),
                                     frame.preformatted, source)) {
                    return false;
                }
                break;
            case GUMBO_NODE_COMMENT:
                break;
            default:  // CDATA and templates belong to markup that is not checked
                return false;
        }
    }
    return true;
}

}  // namespace quorvane
