// Page bytes from a hostile router: decoding, body text extraction, the choice of the static path
// and the look at the bytes before it, and text files. The first byte picks the Content-Type
// header (or says that the header is the input's first line); the rest is the body.

#include "engine_at_first_sight.h"
#include "fuzz_support.h"
#include "page_text.h"

#include <QByteArray>
#include <QStringDecoder>

#include <array>
#include <optional>
#include <utility>

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

// What a page without a byte-order mark decodes as under each header.
enum class Expect {
    Unknown,
    Windows1252,            // the header's label is windows-1252 itself
    Windows1252UnlessMeta,  // no usable label: a <meta> charset, else windows-1252
    Utf8,
};

struct Header {
    const char* contentType;
    Expect expect;
};

constexpr std::array<Header, 8> kHeaders{{
    {"", Expect::Windows1252UnlessMeta},
    {"text/html", Expect::Windows1252UnlessMeta},
    {"text/html; charset=utf-8", Expect::Utf8},
    {"text/html; charset=\"UTF-8\"", Expect::Unknown},
    {"text/html; charset=ISO-8859-1", Expect::Windows1252},
    {"text/html; charset=utf-16le", Expect::Unknown},
    {"text/plain; charset=koi8-r", Expect::Unknown},
    {"text/html; charset=x-no-such-label", Expect::Windows1252UnlessMeta},
}};

// The WHATWG windows-1252 table: Latin-1 but for 0x80..0x9F.
QString Windows1252(const QByteArray& bytes) {
    static constexpr std::array<char16_t, 32> kHigh{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t{b});
    }
    return text;
}

// The bytes decoded strictly, a leading U+FEFF kept; empty when they are not well-formed (Qt
// lets lone surrogates through UTF-16, where browsers put U+FFFD).
std::optional<QString> DecodeStrictly(QByteArrayView bytes, QStringConverter::Encoding encoding) {
    QStringDecoder decoder(
        encoding, QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || !QStringView(text).isValidUtf16()) {
        return std::nullopt;
    }
    return text;
}

void CheckDecoding(const QByteArray& body, const Header* header, const QString& text) {
    // A byte-order mark outweighs every label.
    const std::array<std::pair<QByteArrayView, QStringConverter::Encoding>, 3> kBoms{{
        {"\xEF\xBB\xBF", QStringConverter::Utf8},
        {"\xFE\xFF", QStringConverter::Utf16BE},
        {"\xFF\xFE", QStringConverter::Utf16LE},
    }};
    for (const auto& [bom, encoding] : kBoms) {
        if (body.startsWith(bom)) {
            const bool complete = encoding == QStringConverter::Utf8 || body.size() % 2 == 0;
            if (const auto expected = DecodeStrictly(body.sliced(bom.size()), encoding);
                complete && expected) {
                FUZZ_CHECK(text == *expected);
            }
            return;
        }
    }
    if (header == nullptr) {
        return;
    }
    switch (header->expect) {
        case Expect::Utf8:
            if (const auto expected = DecodeStrictly(body, QStringConverter::Utf8)) {
                FUZZ_CHECK(text == *expected);
            }
            break;
        case Expect::Windows1252UnlessMeta:
            // Without a '<' in the first 1024 bytes there is no <meta> for the prescan to find.
            if (body.first(qMin(body.size(), qsizetype{1024})).contains('<')) {
                break;
            }
            [[fallthrough]];
        case Expect::Windows1252:
            FUZZ_CHECK(text == Windows1252(body));
            break;
        case Expect::Unknown:
            break;
    }
}

// Lines are separated by CR LF, never by a bare LF, and the last one ends with CR LF too.
void CheckLineEnds(const QString& text) {
    for (qsizetype i = text.indexOf(u'\n'); i >= 0; i = text.indexOf(u'\n', i + 1)) {
        FUZZ_CHECK(i > 0 && text[i - 1] == u'\r');
    }
    if (!text.isEmpty()) {
        FUZZ_CHECK(text.endsWith(QStringLiteral("\r\n")));
    }
}

void CheckBodyText(const QString& html) {
    const QString text = BodyInnerText(html);
    CheckLineEnds(text);
    // The static path gives the renderer's text where it takes the page at all.
    if (const std::optional<QString> staticText = StaticBodyText(html)) {
        FUZZ_CHECK(*staticText == text);
    }
}

// A text file has no line end but CR LF: a CR stands in none alone.
void CheckTextFile(const QByteArray& body, const QByteArray& contentType) {
    const QString text = TextFileText(body, contentType);
    CheckLineEnds(text);
    for (qsizetype i = text.indexOf(u'\r'); i >= 0; i = text.indexOf(u'\r', i + 1)) {
        FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == u'\n');
    }
}

// A page that is a single word, free of markup and white space, is that word on one line. Every
// other character must come through as the page has it: controls, noncharacters, U+FEFF.
void CheckSingleWord(const QString& html) {
    QString word;
    for (const QChar c : html) {
        const bool markupOrSpace = c == u'<' || c == u'&' || c == u'\0' || c == u' ' ||
                                   c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
        if (!markupOrSpace && !c.isSurrogate()) {
            word += c;
        }
    }
    if (!word.isEmpty()) {
        FUZZ_CHECK(BodyInnerText(word) == word + QStringLiteral("\r\n"));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::size_t choice = data[0] % (kHeaders.size() + 1);
    const Header* header = choice < kHeaders.size() ? &kHeaders[choice] : nullptr;
    QByteArray contentType;
    QByteArray body = input.sliced(1);
    if (header != nullptr) {
        contentType = header->contentType;
    } else {
        const qsizetype lineEnd = body.indexOf('\n');
        contentType = body.first(lineEnd < 0 ? body.size() : lineEnd);
        body = body.sliced(lineEnd < 0 ? body.size() : lineEnd + 1);
    }

    const QString text = DecodePageBytes(body, contentType);
    CheckDecoding(body, header, text);
    CheckBodyText(text);
    CheckSingleWord(text);
    CheckBodyText(AsUtf16(data, size));
    CheckTextFile(body, contentType);
    static_cast<void>(IsBinaryBody(body));
    // What one look at the bytes sends to the engine, the reader refuses too.
    FUZZ_CHECK(!NeedsEngineAtFirstSight(body, contentType) || !StaticPageText(body, contentType));
    static_cast<void>(ClassifyContentType(contentType));
    return 0;
}
