#include "page_text.h"

#include <algorithm>

#include "charset_decoding.h"
#include "charset_sniffing.h"
#include "control_char_shield.h"
#include "html_inner_text.h"
#include "log_text.h"
#include "parsed_html.h"
#include "static_markup.h"

namespace quorvane {
namespace {

struct Sniffed {
    QByteArray encoding;
    qsizetype bomLength = 0;
    bool named = true;  // false: nothing named an encoding, and windows-1252 is taken
};

enum class Prescan { Meta, None };

Sniffed SniffEncoding(QByteArrayView body, QByteArrayView contentType, Prescan prescan) {
    if (body.startsWith("\xEF\xBB\xBF")) return {"UTF-8", 3};
    if (body.startsWith("\xFE\xFF")) return {"UTF-16BE", 2};
    if (body.startsWith("\xFF\xFE")) return {"UTF-16LE", 2};
    // An unknown label is passed over, as browsers do, in favour of the next source.
    if (QByteArray encoding = EncodingForLabel(CharsetFromContentType(contentType));
        !encoding.isEmpty()) {
        return {encoding};
    }
    if (prescan == Prescan::Meta) {
        if (QByteArray encoding = PrescanMetaCharset(body); !encoding.isEmpty()) return {encoding};
    }
    return {"windows-1252", 0, false};
}

// Where nothing names an encoding, browsers guess one from the bytes, and windows-1252 is just
// one of their guesses. Bytes read the same under every guess only when they are ASCII without
// an escape, which starts the shifts of ISO-2022-JP.
bool NeedsGuessedEncoding(QByteArrayView body, QByteArrayView contentType, Prescan prescan) {
    if (SniffEncoding(body, contentType, prescan).named) return false;
    return std::any_of(body.begin(), body.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80 || c == '\x1B'; });
}

QString RenderedText(const ParsedHtml& parsed) {
    return UnshieldControlCharacters(RenderedBodyText(parsed.root()));
}

QString Decode(const QByteArray& body, const QByteArray& contentType, Prescan prescan) {
    const Sniffed sniffed = SniffEncoding(body, contentType, prescan);
    return DecodeWithEncoding(QByteArrayView(body).sliced(sniffed.bomLength), sniffed.encoding);
}

}  // namespace

bool NeedsEncodingGuess(QByteArrayView body, QByteArrayView contentType) {
    const bool text = ClassifyContentType(contentType) == ContentKind::Text;
    return NeedsGuessedEncoding(body, contentType, text ? Prescan::None : Prescan::Meta);
}

QString DecodePageBytes(const QByteArray& body, const QByteArray& contentType) {
    return Decode(body, contentType, Prescan::Meta);
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
    const QString text = Decode(body, contentType, Prescan::None);
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

std::optional<QString> StaticPageText(const QByteArray& body, const QByteArray& contentType) {
    switch (ClassifyContentType(contentType)) {
        case ContentKind::Text:
            if (NeedsGuessedEncoding(body, contentType, Prescan::None)) return std::nullopt;
            return TextFileText(body, contentType);
        case ContentKind::Html:
            // Browsers read XHTML with an XML parser, whose tree an HTML parse does not match.
            if (IsXhtmlType(contentType) ||
                NeedsGuessedEncoding(body, contentType, Prescan::Meta)) {
                return std::nullopt;
            }
            return StaticBodyText(DecodePageBytes(body, contentType));
        case ContentKind::Other:
            break;
    }
    return std::nullopt;
}

}  // namespace quorvane
