#include "element_box.h"

namespace quorvane {

bool HasAttribute(const GumboElement& element, const char* name) {
    return gumbo_get_attribute(&element.attributes, name) != nullptr;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool IsHtmlElement(const GumboNode* node, GumboTag tag) {
    return node != nullptr && node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

bool AttributeEquals(const GumboElement& element, const char* name, std::string_view value) {
    const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
    return attribute != nullptr && EqualsNoCase(attribute->value, value);
}

namespace {

std::string_view TagName(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(element.tag);
    GumboStringPiece name = element.original_tag;
    if (name.data == nullptr || name.length < 2) return {};  // made up by the parser
    gumbo_tag_from_original_text(&name);
    return {name.data, name.length};
}

// Only SVG's text content is rendered as text; its text elements lay out as blocks.
Box SvgBox(const GumboElement& element) {
    const std::string_view name = TagName(element);
    if (EqualsNoCase(name, "svg")) return Box::InlineBlock;
    if (EqualsNoCase(name, "g") || EqualsNoCase(name, "a") || EqualsNoCase(name, "switch")) {
        return Box::Inline;
    }
    if (EqualsNoCase(name, "text") || EqualsNoCase(name, "foreignObject")) return Box::Block;
    if (EqualsNoCase(name, "tspan") || EqualsNoCase(name, "textPath")) return Box::Inline;
    return Box::None;
}

Box HtmlBox(const GumboNode& node) {
    const GumboElement& element = node.v.element;
    switch (element.tag) {
        case GUMBO_TAG_AREA:
        case GUMBO_TAG_BASE:
        case GUMBO_TAG_BASEFONT:
        case GUMBO_TAG_DATALIST:
        case GUMBO_TAG_HEAD:
        case GUMBO_TAG_LINK:
        case GUMBO_TAG_META:
        case GUMBO_TAG_NOEMBED:
        case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_PARAM:
        case GUMBO_TAG_RP:
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_STYLE:
        case GUMBO_TAG_TEMPLATE:
        case GUMBO_TAG_TITLE:
        case GUMBO_TAG_NOSCRIPT:
        case GUMBO_TAG_COLGROUP:
        case GUMBO_TAG_COL:
        case GUMBO_TAG_SOURCE:
        case GUMBO_TAG_TRACK:
        case GUMBO_TAG_BGSOUND:
        // Their children are fallback content or raw text that a browser does not render.
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_VIDEO:
        case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_CANVAS:
        case GUMBO_TAG_PROGRESS:
        case GUMBO_TAG_METER:
            return Box::None;
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_IMAGE:
            // The align attribute floats an image, and a float is block-level.
            if (AttributeEquals(element, "align", "left") ||
                AttributeEquals(element, "align", "right")) {
                return Box::Block;
            }
            return Box::Replaced;
        case GUMBO_TAG_INPUT:
            return AttributeEquals(element, "type", "hidden") ? Box::None : Box::Replaced;
        case GUMBO_TAG_EMBED:
        case GUMBO_TAG_KEYGEN:
            return Box::Replaced;
        case GUMBO_TAG_BUTTON:
        case GUMBO_TAG_MARQUEE:
            return Box::InlineBlock;
        case GUMBO_TAG_HTML:
        case GUMBO_TAG_BODY:
        case GUMBO_TAG_ADDRESS:
        case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_CENTER:
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_FIGURE:
        case GUMBO_TAG_FIGCAPTION:
        case GUMBO_TAG_FOOTER:
        case GUMBO_TAG_HEADER:
        case GUMBO_TAG_HR:
        case GUMBO_TAG_LEGEND:
        case GUMBO_TAG_MAIN:
        case GUMBO_TAG_ARTICLE:
        case GUMBO_TAG_ASIDE:
        case GUMBO_TAG_H1:
        case GUMBO_TAG_H2:
        case GUMBO_TAG_H3:
        case GUMBO_TAG_H4:
        case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
        case GUMBO_TAG_HGROUP:
        case GUMBO_TAG_NAV:
        case GUMBO_TAG_SECTION:
        case GUMBO_TAG_DIR:
        case GUMBO_TAG_DD:
        case GUMBO_TAG_DL:
        case GUMBO_TAG_DT:
        case GUMBO_TAG_MENU:
        case GUMBO_TAG_OL:
        case GUMBO_TAG_UL:
        case GUMBO_TAG_LI:
        case GUMBO_TAG_FIELDSET:
        case GUMBO_TAG_SUMMARY:
        case GUMBO_TAG_CAPTION:
        case GUMBO_TAG_OPTION:
        case GUMBO_TAG_FRAMESET:
        case GUMBO_TAG_FRAME:
            return Box::Block;
        case GUMBO_TAG_FORM:
            // The parser leaves a form that opens among a table's parts empty there, and the
            // default style sheet hides it.
            if (IsHtmlElement(node.parent, GUMBO_TAG_TABLE) ||
                IsHtmlElement(node.parent, GUMBO_TAG_THEAD) ||
                IsHtmlElement(node.parent, GUMBO_TAG_TBODY) ||
                IsHtmlElement(node.parent, GUMBO_TAG_TFOOT) ||
                IsHtmlElement(node.parent, GUMBO_TAG_TR)) {
                return Box::None;
            }
            return Box::Block;
        case GUMBO_TAG_DETAILS:
            return HasAttribute(element, "open") ? Box::Block : Box::ClosedDetails;
        case GUMBO_TAG_P:
            return Box::Paragraph;
        case GUMBO_TAG_PRE:
        case GUMBO_TAG_LISTING:
        case GUMBO_TAG_XMP:
        case GUMBO_TAG_PLAINTEXT:
            return Box::Preformatted;
        // A textarea is rendered as a box of preformatted lines rather than left out as
        // browsers do, because a router may show its log in one.
        case GUMBO_TAG_TEXTAREA:
            return Box::TextArea;
        case GUMBO_TAG_BR:
            return Box::LineBreak;
        case GUMBO_TAG_TABLE:
            return Box::Table;
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_TFOOT:
            return Box::TableSection;
        case GUMBO_TAG_TR:
            return Box::TableRow;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
            return Box::TableCell;
        case GUMBO_TAG_SELECT:
            return Box::Select;
        case GUMBO_TAG_OPTGROUP:
            return Box::OptionGroup;
        case GUMBO_TAG_UNKNOWN: {
            // Elements newer than the parser's tag list.
            const std::string_view name = TagName(element);
            if (EqualsNoCase(name, "dialog")) {
                return HasAttribute(element, "open") ? Box::Block : Box::None;
            }
            if (EqualsNoCase(name, "search")) return Box::Block;
            return Box::Inline;
        }
        default:
            return Box::Inline;
    }
}

}  // namespace

Box BoxOf(const GumboNode& node) {
    const GumboElement& element = node.v.element;
    if (HasAttribute(element, "hidden")) return Box::None;
    switch (element.tag_namespace) {
        case GUMBO_NAMESPACE_HTML:
            return HtmlBox(node);
        case GUMBO_NAMESPACE_SVG:
            return SvgBox(element);
        default:
            return Box::Inline;
    }
}

}  // namespace quorvane
