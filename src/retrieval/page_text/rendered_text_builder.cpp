#include "rendered_text_builder.h"

#include "ascii.h"
#include "log_text.h"

#include <QStringDecoder>
#include <algorithm>
#include <utility>

namespace quorvane {
namespace {

constexpr std::string_view kUtf8LineEnd(kLineEnd.data(), kLineEnd.size());

}  // namespace

void RenderedTextBuilder::appendCollapsible(std::string_view utf8) {
    for (const char c : utf8) {
        if (IsAsciiSpaceButFormFeed(c)) {  // what CSS collapses
            if (!atLineStart_) pendingSpace_ = true;
            continue;
        }
        flushLineBreaks();
        if (pendingSpace_) text_.push_back(' ');
        pendingSpace_ = false;
        text_.push_back(c);
        atLineStart_ = false;
    }
}

void RenderedTextBuilder::appendPreformatted(std::string_view utf8) {
    if (utf8.empty()) return;
    flushLineBreaks();
    pendingSpace_ = false;
    for (const char c : utf8) {
        if (c == '\n') {
            text_.append(kUtf8LineEnd);
        } else {
            text_.push_back(c);
        }
    }
    atLineStart_ = utf8.back() == '\n';
}

void RenderedTextBuilder::requireLineBreaks(int count) {
    pendingLineBreaks_ = std::max(pendingLineBreaks_, count);
    endLine();
}

void RenderedTextBuilder::endLine() {
    pendingSpace_ = false;
    atLineStart_ = true;
}

void RenderedTextBuilder::appendAtomicInline() {
    if (pendingSpace_) {
        flushLineBreaks();
        text_.push_back(' ');
        pendingSpace_ = false;
    }
    atLineStart_ = false;
}

void RenderedTextBuilder::appendLineBreak() {
    flushLineBreaks();
    text_.append(kUtf8LineEnd);
    endLine();
}

void RenderedTextBuilder::appendTab() {
    flushLineBreaks();
    text_.push_back('\t');
    endLine();
}

void RenderedTextBuilder::flushLineBreaks() {
    // Required line breaks before any content are dropped, like those after the last.
    if (!text_.empty()) {
        for (int i = 0; i < pendingLineBreaks_; ++i) text_.append(kUtf8LineEnd);
    }
    pendingLineBreaks_ = 0;
}

QString RenderedTextBuilder::finish() {
    // The last line of a log needs its line end as much as the others do.
    if (!text_.empty() && text_.back() != '\n') text_.append(kUtf8LineEnd);
    pendingLineBreaks_ = 0;
    pendingSpace_ = false;
    atLineStart_ = true;
    // Not QString::fromUtf8, which takes a leading U+FEFF for a byte-order mark and drops it:
    // the page's own mark went with decoding, so one here is text.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    return decoder.decode(std::exchange(text_, {}));
}

}  // namespace quorvane
