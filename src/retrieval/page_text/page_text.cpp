#include "page_text.h"

#include "charset_decoding.h"
#include "charset_sniffing.h"
#include "control_char_shield.h"
#include "html_inner_text.h"
#include "parsed_html.h"

namespace quorvane {
namespace {

struct Sniffed {
    QByteArray encoding;
    qsizetype bomLength = 0;
};

Sniffed SniffEncoding(const QByteArray& body, const QByteArray& contentType) {
    if (body.startsWith("\xEF\xBB\xBF")) return {"UTF-8", 3};
    if (body.startsWith("\xFE\xFF")) return {"UTF-16BE", 2};
    if (body.startsWith("\xFF\xFE")) return {"UTF-16LE", 2};
    // An unknown label is passed over, as browsers do, in favour of the next source.
    if (QByteArray encoding = EncodingForLabel(CharsetFromContentType(contentType));
        !encoding.isEmpty()) {
        return {encoding};
    }
    if (QByteArray encoding = PrescanMetaCharset(body); !encoding.isEmpty()) return {encoding};
    return {"windows-1252"};
}

}  // namespace

QString DecodePageBytes(const QByteArray& body, const QByteArray& contentType) {
    const Sniffed sniffed = SniffEncoding(body, contentType);
    return DecodeWithEncoding(QByteArrayView(body).sliced(sniffed.bomLength), sniffed.encoding);
}

QString BodyInnerText(const QString& html) {
    const ParsedHtml parsed(ShieldControlCharacters(html).toUtf8());
    return UnshieldControlCharacters(RenderedBodyText(parsed.Root()));
}

}  // namespace quorvane
