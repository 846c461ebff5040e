#include "sim_hostile.h"

namespace routersim {
namespace {

// A construct that opens an element per repeat and, where the page closes them again, the text
// that closes one. `open` may hold "%d" once for the repeat's number, which keeps every element
// distinct so that the parser cannot fold repeats together.
struct Construct {
    std::string_view open;
    std::string_view close;  // empty: left open, as the hostile router sends it
};

Construct constructOf(Fault fault) {
    switch (fault) {
        case Fault::HostileDivNesting:
            return {"<div>", "</div>"};
        case Fault::HostileListNesting:
            return {"<ul><li>", "</li></ul>"};
        case Fault::HostileBoldNesting:
            return {"<b id=%d>", "</b>"};
        case Fault::HostileAnchorDiv:
            return {"<a><div>", ""};
        case Fault::HostileDivParagraph:
            return {"<div><p>", "</p></div>"};
        case Fault::HostileParagraphBold:
            return {"<p><b id=%d>x</p>", ""};
        default:
            return {};
    }
}

std::string numbered(std::string_view text, std::size_t number) {
    const std::size_t mark = text.find("%d");
    if (mark == std::string_view::npos) return std::string(text);
    return std::string(text.substr(0, mark)) + std::to_string(number) +
           std::string(text.substr(mark + 2));
}

}  // namespace

bool isHostileMarkup(Fault fault) {
    switch (fault) {
        case Fault::HostileDivNesting:
        case Fault::HostileListNesting:
        case Fault::HostileBoldNesting:
        case Fault::HostileAttributes:
        case Fault::HostileLongAttribute:
        case Fault::HostileAnchorDiv:
        case Fault::HostileDivParagraph:
        case Fault::HostileParagraphBold:
            return true;
        default:
            return false;
    }
}

std::string hostilePage(Fault fault, LogKind kind, PageStyle style, std::string_view log,
                        std::string_view charsetLabel, std::size_t size, bool plainMarkup) {
    if (!isHostileMarkup(fault)) return {};
    const std::string head = pageHead(kind, charsetLabel, false, plainMarkup);
    const std::string block = logBlock(style, log);
    const std::string tail = pageTail(kind, plainMarkup);
    std::string page = head;
    page.reserve(size + block.size() + tail.size());
    const std::size_t budget = size > page.size() + block.size() + tail.size()
                                   ? size - block.size() - tail.size()
                                   : page.size();

    if (fault == Fault::HostileAttributes || fault == Fault::HostileLongAttribute) {
        page += "<div";
        if (fault == Fault::HostileAttributes) {
            for (std::size_t i = 0; page.size() < budget; ++i) page += " a" + std::to_string(i);
        } else {
            page += " title=\"";
            page.append(budget > page.size() + 2 ? budget - page.size() - 2 : 0, 'x');
            page += '"';
        }
        return page + ">" + block + "</div>\n" + tail;
    }

    const Construct construct = constructOf(fault);
    std::size_t closeBytes = 0;
    std::size_t repeats = 0;
    while (page.size() + closeBytes < budget) {
        page += numbered(construct.open, repeats++);
        closeBytes += construct.close.size();
    }
    page += block;
    for (std::size_t i = 0; i < repeats && !construct.close.empty(); ++i) page += construct.close;
    return page + "\n" + tail;
}

}  // namespace routersim
