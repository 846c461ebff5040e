#include "engine_at_first_sight.h"

#include "ascii.h"
#include "charset_sniffing.h"
#include "content_kind.h"
#include "static_markup.h"

#include <gumbo.h>

namespace quorvane {
namespace {

std::string_view View(QByteArrayView bytes) { return {bytes.data(), std::size_t(bytes.size())}; }

// Walks the markup forward as the HTML tokenizer splits it into tags, names and values; no byte is
// looked at more than twice.
class MarkupScan {
public:
    explicit MarkupScan(QByteArrayView bytes) : bytes_(bytes) {}

    bool findsEngineMarkup() {
        while (pos_ < bytes_.size()) {
            const qsizetype open = bytes_.indexOf('<', pos_);
            if (open < 0) return false;
            pos_ = open + 1;
            if (bytes_.sliced(pos_).startsWith("!--")) {
                // From the opening's own dashes on, so that "<!-->" ends where browsers end it.
                const qsizetype end = bytes_.indexOf("-->", open + 2);
                if (end < 0) return false;
                pos_ = end + 3;
            } else if (pos_ < bytes_.size() && IsAsciiLetter(bytes_[pos_]) && tagNeedsEngine()) {
                return true;
            }
        }
        return false;
    }

private:
    bool atEnd() const { return pos_ >= bytes_.size(); }
    char next() const { return bytes_[pos_]; }

    // A start tag from its name on, up to and with its ">". A script or style element is among
    // the elements whose static rendering was never checked.
    bool tagNeedsEngine() {
        const QByteArrayView tagName = takeName(false);
        const GumboTag tag = gumbo_tagn_enum(tagName.data(), unsigned(tagName.size()));
        if (!IsCheckedTag(tag)) return true;
        const bool link = tag == GUMBO_TAG_LINK;
        for (;;) {
            while (!atEnd() && (IsAsciiSpace(next()) || next() == '/')) ++pos_;
            if (atEnd()) return false;
            if (next() == '>') {
                ++pos_;
                return false;
            }
            const QByteArrayView name = takeName(true);
            if (IsScriptOrStyleAttribute(View(name))) return true;
            while (!atEnd() && IsAsciiSpace(next())) ++pos_;
            if (atEnd() || next() != '=') continue;
            ++pos_;
            while (!atEnd() && IsAsciiSpace(next())) ++pos_;
            const QByteArrayView value = takeValue();
            if (link && name.compare("rel", Qt::CaseInsensitive) == 0 &&
                NamesStyleSheet(View(value))) {
                return true;
            }
        }
    }

    // A tag name ends at white space, "/" or ">", an attribute name at "=" as well, unless the
    // "=" comes first and so belongs to the name.
    QByteArrayView takeName(bool attribute) {
        const qsizetype start = pos_;
        if (attribute && next() == '=') ++pos_;
        while (!atEnd() && !IsAsciiSpace(next()) && next() != '/' && next() != '>' &&
               !(attribute && next() == '=')) {
            ++pos_;
        }
        return bytes_.sliced(start, pos_ - start);
    }

    QByteArrayView takeValue() {
        if (!atEnd() && (next() == '"' || next() == '\'')) {
            const qsizetype start = pos_ + 1;
            const qsizetype close = bytes_.indexOf(next(), start);
            pos_ = close < 0 ? bytes_.size() : close + 1;
            return bytes_.sliced(start, (close < 0 ? bytes_.size() : close) - start);
        }
        const qsizetype start = pos_;
        while (!atEnd() && !IsAsciiSpace(next()) && next() != '>') ++pos_;
        return bytes_.sliced(start, pos_ - start);
    }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

}  // namespace

bool NeedsEngineAtFirstSight(QByteArrayView body, QByteArrayView contentType) {
    switch (ClassifyContentType(contentType)) {
        case ContentKind::Text:
            return NeedsEncodingGuess(body, contentType);
        case ContentKind::Html:
            return IsXhtmlType(contentType) || NeedsEncodingGuess(body, contentType) ||
                   EndsInsideMarkup(View(body)) || MarkupScan(body).findsEngineMarkup();
        case ContentKind::Other:
            break;
    }
    return false;
}

}  // namespace quorvane
