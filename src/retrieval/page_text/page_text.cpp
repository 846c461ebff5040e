#include "page_text.h"

#include "charset_sniffing.h"
#include "control_char_shield.h"
#include "engine_at_first_sight.h"
#include "html_inner_text.h"
#include "log_text.h"
#include "parsed_html.h"
#include "static_markup.h"

namespace quorvane {
namespace {

QString RenderedText(const ParsedHtml& parsed) {
    return UnshieldControlCharacters(RenderedBodyText(parsed.root()));
}

}  // namespace

QString DecodePageBytes(const QByteArray& body, const QByteArray& contentType) {
    return DecodeSniffed(body, contentType, Prescan::Meta);
}

QString BodyInnerText(const QString& html) {
    return RenderedText(ParsedHtml(ShieldControlCharacters(html).toUtf8()));
}

std::optional<QString> StaticBodyText(const QString& html) {
    const ParsedHtml parsed(ShieldControlCharacters(html).toUtf8());
    if (!IsStaticMarkup(parsed.root(), parsed.source())) return std::nullopt;
    return RenderedText(parsed);
}

QString TextFileText(const QByteArray& body, const QByteArray& contentType) {
    const QString text = DecodeSniffed(body, contentType, Prescan::None);
    QString lines;
    lines.reserve(text.size() + text.size() / 32 + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines += kLineEnd;
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            lines += c;
        }
    }
    if (!lines.isEmpty() && !lines.endsWith(kLineEnd)) lines += kLineEnd;
    return lines;
}

// Whatever one look at the bytes sends to the engine is refused here too, so that the look only
// ever spares the window a read whose answer it knows.
std::optional<QString> StaticPageText(const QByteArray& body, const QByteArray& contentType) {
    if (NeedsEngineAtFirstSight(body, contentType)) return std::nullopt;
    switch (ClassifyContentType(contentType)) {
        case ContentKind::Text:
            return TextFileText(body, contentType);
        case ContentKind::Html:
            return StaticBodyText(DecodePageBytes(body, contentType));
        case ContentKind::Other:
            break;
    }
    return std::nullopt;
}

}  // namespace quorvane
