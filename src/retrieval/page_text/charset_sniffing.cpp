#include "charset_sniffing.h"

#include <QList>
#include <algorithm>
#include <optional>

#include "ascii.h"
#include "charset_decoding.h"
#include "content_kind.h"

namespace quorvane {
namespace {

constexpr qsizetype kPrescanLength = 1024;

char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(QByteArrayView text, qsizetype pos, QByteArrayView prefix) {
    if (text.size() - pos < prefix.size()) return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (ToLower(text[pos + i]) != prefix[i]) return false;
    }
    return true;
}

qsizetype IndexOfNoCase(QByteArrayView text, QByteArrayView needle, qsizetype from) {
    for (qsizetype i = from; i + needle.size() <= text.size(); ++i) {
        if (StartsWithNoCase(text, i, needle)) return i;
    }
    return -1;
}

// The HTML standard's extraction of a character encoding from a meta element's content
// attribute: the label after the first "charset" that is followed by "="; nothing when there is
// none or its quoted value is unterminated.
std::optional<QByteArray> CharsetFromMetaContent(QByteArrayView content) {
    qsizetype pos = 0;
    for (;;) {
        const qsizetype found = IndexOfNoCase(content, "charset", pos);
        if (found < 0) return std::nullopt;
        pos = found + 7;
        while (pos < content.size() && IsAsciiSpace(content[pos])) ++pos;
        if (pos < content.size() && content[pos] == '=') break;
    }
    ++pos;
    while (pos < content.size() && IsAsciiSpace(content[pos])) ++pos;
    if (pos >= content.size()) return std::nullopt;
    if (content[pos] == '"' || content[pos] == '\'') {
        const qsizetype close = content.indexOf(content[pos], pos + 1);
        if (close < 0) return std::nullopt;
        return content.sliced(pos + 1, close - pos - 1).toByteArray();
    }
    qsizetype end = pos;
    while (end < content.size() && !IsAsciiSpace(content[end]) && content[end] != ';') ++end;
    return content.sliced(pos, end - pos).toByteArray();
}

struct Attribute {
    QByteArray name;
    QByteArray value;
};

// The prescan of the HTML standard's encoding sniffing: it reads tags only as far as needed to
// find <meta> attributes, and gives up at the end of the scanned bytes.
class MetaPrescan {
public:
    explicit MetaPrescan(QByteArrayView bytes) : bytes_(bytes) {}

    QByteArray Run() {
        for (; pos_ < bytes_.size(); ++pos_) {
            if (StartsWithNoCase(bytes_, pos_, "<!--")) {
                SkipComment();
            } else if (StartsWithNoCase(bytes_, pos_, "<meta") && pos_ + 5 < bytes_.size() &&
                       (IsAsciiSpace(bytes_[pos_ + 5]) || bytes_[pos_ + 5] == '/')) {
                pos_ += 6;
                if (std::optional<QByteArray> encoding = ReadMeta()) return *encoding;
            } else if (StartsAnyTag()) {
                SkipTag();
            } else if (StartsWithNoCase(bytes_, pos_, "<!") ||
                       StartsWithNoCase(bytes_, pos_, "</") ||
                       StartsWithNoCase(bytes_, pos_, "<?")) {
                while (pos_ < bytes_.size() && bytes_[pos_] != '>') ++pos_;
            }
        }
        return {};
    }

private:
    bool AtEnd() const { return pos_ >= bytes_.size(); }
    char Current() const { return bytes_[pos_]; }

    // Ends on the '>' of the first "-->"; "<!-->" is a whole comment.
    void SkipComment() {
        pos_ += 2;
        while (pos_ + 2 < bytes_.size() &&
               !(bytes_[pos_] == '-' && bytes_[pos_ + 1] == '-' && bytes_[pos_ + 2] == '>')) {
            ++pos_;
        }
        pos_ = pos_ + 2 < bytes_.size() ? pos_ + 2 : bytes_.size();
    }

    bool StartsAnyTag() const {
        qsizetype next = pos_ + 1;
        if (bytes_[pos_] != '<') return false;
        if (next < bytes_.size() && bytes_[next] == '/') ++next;
        return next < bytes_.size() && IsAsciiLetter(bytes_[next]);
    }

    void SkipTag() {
        while (!AtEnd() && !IsAsciiSpace(Current()) && Current() != '>') ++pos_;
        while (ReadAttribute()) {
        }
        // The loop of Run() steps past the byte where the attribute scan stopped.
    }

    // Nothing when the <meta> declares no usable encoding; scanning then goes on after it.
    std::optional<QByteArray> ReadMeta() {
        QList<QByteArray> seen;
        bool gotPragma = false;
        std::optional<bool> needPragma;
        std::optional<QByteArray> charset;  // an empty value: a label that names no encoding
        while (std::optional<Attribute> attribute = ReadAttribute()) {
            if (seen.contains(attribute->name)) continue;
            seen.append(attribute->name);
            if (attribute->name == "http-equiv") {
                if (attribute->value == "content-type") gotPragma = true;
            } else if (attribute->name == "content") {
                const std::optional<QByteArray> label = CharsetFromMetaContent(attribute->value);
                if (label && !charset) {
                    charset = EncodingForLabel(*label);
                    needPragma = true;
                }
            } else if (attribute->name == "charset" && !charset) {
                charset = EncodingForLabel(attribute->value);
                needPragma = false;
            }
        }
        if (!needPragma || (*needPragma && !gotPragma) || !charset || charset->isEmpty()) {
            return std::nullopt;
        }
        if (*charset == "UTF-16LE" || *charset == "UTF-16BE") return QByteArray("UTF-8");
        if (*charset == "x-user-defined") return QByteArray("windows-1252");
        return charset;
    }

    // Names and values come back in lower case; nothing at the end of the tag or the bytes.
    std::optional<Attribute> ReadAttribute() {
        while (!AtEnd() && (IsAsciiSpace(Current()) || Current() == '/')) ++pos_;
        if (AtEnd() || Current() == '>') return std::nullopt;
        Attribute attribute;
        for (;; ++pos_) {
            if (AtEnd()) return std::nullopt;
            const char c = Current();
            if (c == '=' && !attribute.name.isEmpty()) break;
            if (IsAsciiSpace(c)) {
                while (!AtEnd() && IsAsciiSpace(Current())) ++pos_;
                if (AtEnd()) return std::nullopt;
                if (Current() != '=') return attribute;
                break;
            }
            if (c == '/' || c == '>') return attribute;
            attribute.name.append(ToLower(c));
        }
        ++pos_;  // past '='
        while (!AtEnd() && IsAsciiSpace(Current())) ++pos_;
        if (AtEnd()) return std::nullopt;
        if (Current() == '"' || Current() == '\'') {
            const char quote = Current();
            for (++pos_; !AtEnd(); ++pos_) {
                if (Current() == quote) {
                    ++pos_;
                    return attribute;
                }
                attribute.value.append(ToLower(Current()));
            }
            return std::nullopt;
        }
        if (Current() == '>') return attribute;
        for (; !AtEnd(); ++pos_) {
            if (IsAsciiSpace(Current()) || Current() == '>') return attribute;
            attribute.value.append(ToLower(Current()));
        }
        return std::nullopt;
    }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

}  // namespace

QByteArray CharsetFromContentType(QByteArrayView contentType) {
    qsizetype pos = contentType.indexOf(';');
    if (pos < 0) return {};
    while (pos < contentType.size()) {
        ++pos;  // past ';'
        while (pos < contentType.size() && IsAsciiSpaceButFormFeed(contentType[pos])) ++pos;
        QByteArray name;
        while (pos < contentType.size() && contentType[pos] != ';' && contentType[pos] != '=') {
            name.append(ToLower(contentType[pos++]));
        }
        if (pos >= contentType.size() || contentType[pos] == ';') continue;
        ++pos;  // past '='
        QByteArray value;
        if (pos < contentType.size() && contentType[pos] == '"') {
            for (++pos; pos < contentType.size() && contentType[pos] != '"'; ++pos) {
                if (contentType[pos] == '\\' && pos + 1 < contentType.size()) ++pos;
                value.append(contentType[pos]);
            }
            while (pos < contentType.size() && contentType[pos] != ';') ++pos;
        } else {
            while (pos < contentType.size() && contentType[pos] != ';') {
                value.append(contentType[pos++]);
            }
            while (!value.isEmpty() && IsAsciiSpaceButFormFeed(value.back())) value.chop(1);
        }
        if (name == "charset" && !value.isEmpty()) return value;
    }
    return {};
}

QByteArray PrescanMetaCharset(QByteArrayView page) {
    return MetaPrescan(page.first(std::min(page.size(), kPrescanLength))).Run();
}

namespace {

struct SniffedEncoding {
    QByteArray encoding;
    qsizetype bomLength = 0;
    bool named = true;  // false: nothing named an encoding, and windows-1252 is taken
};

SniffedEncoding SniffEncoding(QByteArrayView body, QByteArrayView contentType, Prescan prescan) {
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

}  // namespace

QString DecodeSniffed(QByteArrayView body, QByteArrayView contentType, Prescan prescan) {
    const SniffedEncoding sniffed = SniffEncoding(body, contentType, prescan);
    return DecodeWithEncoding(body.sliced(sniffed.bomLength), sniffed.encoding);
}

// Where nothing names an encoding, browsers guess one from the bytes, and windows-1252 is just
// one of their guesses. Bytes read the same under every guess only when they are ASCII without
// an escape, which starts the shifts of ISO-2022-JP.
bool NeedsEncodingGuess(QByteArrayView body, QByteArrayView contentType) {
    const bool text = ClassifyContentType(contentType) == ContentKind::Text;
    if (SniffEncoding(body, contentType, text ? Prescan::None : Prescan::Meta).named) return false;
    return std::any_of(body.begin(), body.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80 || c == '\x1B'; });
}

}  // namespace quorvane
