#include "charset_decoding.h"

#include <QHash>
#include <QStringDecoder>
#include <array>
#include <cstdint>

namespace quorvane {
namespace {

// The label table of the WHATWG Encoding Standard: each encoding's canonical name followed by
// its labels. Browsers accept exactly these, so a router page labelled "latin1" or "utf8" is
// read as a browser reads it.
struct LabelRow {
    const char* encoding;
    const char* labels;  // space-separated, lower case
};

constexpr LabelRow kLabelRows[] = {
    {"UTF-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {"IBM866", "866 cp866 csibm866 ibm866"},
    {"ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {"ISO-8859-3",
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {"ISO-8859-4",
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {"ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 "
     "iso_8859-5:1988"},
    {"ISO-8859-6",
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e "
     "iso-8859-6-i iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {"ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 "
     "iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
    {"ISO-8859-8",
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 "
     "iso_8859-8 iso_8859-8:1988 visual"},
    {"ISO-8859-8-I", "csiso88598i iso-8859-8-i logical"},
    {"ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {"ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {"ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {"ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {"ISO-8859-16", "iso-8859-16"},
    {"KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
    {"KOI8-U", "koi8-ru koi8-u"},
    {"macintosh", "csmacintosh mac macintosh x-mac-roman"},
    {"windows-874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {"windows-1250", "cp1250 windows-1250 x-cp1250"},
    {"windows-1251", "cp1251 windows-1251 x-cp1251"},
    {"windows-1252",
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 "
     "iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {"windows-1253", "cp1253 windows-1253 x-cp1253"},
    {"windows-1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 "
     "latin5 windows-1254 x-cp1254"},
    {"windows-1255", "cp1255 windows-1255 x-cp1255"},
    {"windows-1256", "cp1256 windows-1256 x-cp1256"},
    {"windows-1257", "cp1257 windows-1257 x-cp1257"},
    {"windows-1258", "cp1258 windows-1258 x-cp1258"},
    {"x-mac-cyrillic", "x-mac-cyrillic x-mac-ukrainian"},
    {"GBK", "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk"},
    {"gb18030", "gb18030"},
    {"Big5", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {"EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {"ISO-2022-JP", "csiso2022jp iso-2022-jp"},
    {"Shift_JIS", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {"EUC-KR",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 "
     "ksc_5601 windows-949"},
    {"replacement", "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement"},
    {"UTF-16BE", "unicodefffe utf-16be"},
    {"UTF-16LE", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
    {"x-user-defined", "x-user-defined"},
};

const QHash<QByteArray, QByteArray>& LabelTable() {
    static const QHash<QByteArray, QByteArray> table = [] {
        QHash<QByteArray, QByteArray> result;
        for (const LabelRow& row : kLabelRows) {
            for (const QByteArray& label : QByteArray(row.labels).split(' ')) {
                result.insert(label, row.encoding);
            }
        }
        return result;
    }();
    return table;
}

// Where the WHATWG encoding is a superset of the converter of the same name, the converter
// that matches it better.
QByteArray ConverterName(const QByteArray& encoding) {
    if (encoding == "GBK") return "GB18030";
    if (encoding == "EUC-KR") return "windows-949";
    if (encoding == "Big5") return "Big5-HKSCS";
    if (encoding == "Shift_JIS") return "windows-31j";
    if (encoding == "ISO-8859-8-I") return "ISO-8859-8";
    return encoding;
}

// Encodings decoded here rather than by a converter: they are the ones router pages use, and
// their browser behaviour must hold whether or not Qt was built with ICU.
bool IsBuiltIn(const QByteArray& encoding) {
    return encoding == "UTF-8" || encoding == "UTF-16LE" || encoding == "UTF-16BE" ||
           encoding == "windows-1252" || encoding == "x-user-defined" || encoding == "replacement";
}

constexpr char16_t kReplacement = u'\uFFFD';

// 0x80-0x9F of windows-1252; the five bytes it leaves undefined map to the C1 control of the
// same value, as browsers do.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[i]);
        out[i] = (byte >= 0x80 && byte <= 0x9F) ? kWindows1252High[byte - 0x80] : byte;
    }
    return text;
}

QString DecodeUserDefined(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[i]);
        out[i] = byte < 0x80 ? byte : static_cast<char16_t>(0xF780 + byte - 0x80);
    }
    return text;
}

// The WHATWG UTF-8 decoder: each maximal ill-formed subsequence becomes one U+FFFD, so a
// truncated sequence gives one replacement character as in a browser, not one per byte.
QString DecodeUtf8(QByteArrayView bytes) {
    std::u16string out;
    out.reserve(static_cast<std::size_t>(bytes.size()));
    char32_t codePoint = 0;
    int needed = 0;
    int seen = 0;
    std::uint8_t lower = 0x80;
    std::uint8_t upper = 0xBF;
    auto append = [&out](char32_t cp) {
        if (cp < 0x10000) {
            out.push_back(static_cast<char16_t>(cp));
        } else {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[i]);
        if (needed == 0) {
            if (byte < 0x80) {
                out.push_back(byte);
            } else if (byte >= 0xC2 && byte <= 0xDF) {
                needed = 1;
                codePoint = byte & 0x1F;
            } else if (byte >= 0xE0 && byte <= 0xEF) {
                if (byte == 0xE0) lower = 0xA0;
                if (byte == 0xED) upper = 0x9F;
                needed = 2;
                codePoint = byte & 0x0F;
            } else if (byte >= 0xF0 && byte <= 0xF4) {
                if (byte == 0xF0) lower = 0x90;
                if (byte == 0xF4) upper = 0x8F;
                needed = 3;
                codePoint = byte & 0x07;
            } else {
                out.push_back(kReplacement);
            }
            continue;
        }
        if (byte < lower || byte > upper) {
            codePoint = 0;
            needed = seen = 0;
            lower = 0x80;
            upper = 0xBF;
            out.push_back(kReplacement);
            --i;  // the byte starts afresh
            continue;
        }
        lower = 0x80;
        upper = 0xBF;
        codePoint = (codePoint << 6) | (byte & 0x3F);
        if (++seen == needed) {
            append(codePoint);
            codePoint = 0;
            needed = seen = 0;
        }
    }
    if (needed != 0) out.push_back(kReplacement);
    // Not QString::fromStdU16String: it reads a leading U+FFFE or U+FEFF as a byte-order mark,
    // swapping or dropping what is text here.
    return QString(reinterpret_cast<const QChar*>(out.data()), qsizetype(out.size()));
}

// A UTF-16 decoder keeps lone surrogates; a browser shows them as U+FFFD, and the HTML parser
// downstream needs well-formed text.
void ReplaceLoneSurrogates(QString& text) {
    char16_t* data = reinterpret_cast<char16_t*>(text.data());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (QChar::isHighSurrogate(data[i]) && i + 1 < size && QChar::isLowSurrogate(data[i + 1])) {
            ++i;
        } else if (QChar::isSurrogate(data[i])) {
            data[i] = kReplacement;
        }
    }
}

QString DecodeWithConverter(QByteArrayView bytes, const QByteArray& name) {
    // Stateless, so that an incomplete sequence at the end is reported, not held back.
    // ConvertInitialBom: a page's own byte-order mark is gone by now, so a U+FEFF here is text.
    QStringDecoder decoder(name.constData(), QStringConverter::Flag::Stateless |
                                                 QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    ReplaceLoneSurrogates(text);
    return text;
}

}  // namespace

QByteArray EncodingForLabel(QByteArrayView label) {
    const QByteArray key = label.toByteArray().trimmed().toLower();
    const auto found = LabelTable().constFind(key);
    if (found == LabelTable().constEnd()) return {};
    const QByteArray& encoding = found.value();
    if (!IsBuiltIn(encoding) && !QStringDecoder(ConverterName(encoding).constData()).isValid()) {
        return {};
    }
    return encoding;
}

QString DecodeWithEncoding(QByteArrayView bytes, const QByteArray& encoding) {
    if (encoding == "UTF-8") return DecodeUtf8(bytes);
    if (encoding == "windows-1252") return DecodeWindows1252(bytes);
    if (encoding == "x-user-defined") return DecodeUserDefined(bytes);
    // Encodings that browsers refuse to decode (ISO-2022-KR and the like) turn the whole page
    // into one replacement character, so that no hostile content slips through.
    if (encoding == "replacement")
        return bytes.isEmpty() ? QString() : QString(QChar(kReplacement));
    return DecodeWithConverter(bytes, ConverterName(encoding));
}

}  // namespace quorvane
