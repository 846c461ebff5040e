#include "control_char_shield.h"

#include <QStringView>
#include <optional>

namespace quorvane {
namespace {

// Stand-ins live at the top of the last private-use plane, one per shielded code point. A
// genuine character of that range is written as the escape followed by the character moved
// down one block, so that unshielding restores every text exactly.
constexpr char32_t kStandInBase = 0x10FF00;
constexpr char32_t kEscape = 0x10FFE2;
constexpr char32_t kEscapeShift = 0x100;

// Index of a shielded code point among the stand-ins: the controls by value (up to 0x9F), the
// noncharacters U+FDD0..U+FDEF after them, then U+xFFFE and U+xFFFF of each plane.
std::optional<char32_t> StandInIndex(char32_t c) {
    if ((c >= 0x01 && c <= 0x08) || c == 0x0B || (c >= 0x0E && c <= 0x1F) ||
        (c >= 0x7F && c <= 0x9F)) {
        return c;
    }
    if (c >= 0xFDD0 && c <= 0xFDEF) return 0xA0 + (c - 0xFDD0);
    if ((c & 0xFFFE) == 0xFFFE) return 0xC0 + 2 * (c >> 16) + (c & 1);
    return std::nullopt;
}

char32_t FromStandInIndex(char32_t index) {
    if (index < 0xA0) return index;
    if (index < 0xC0) return 0xFDD0 + (index - 0xA0);
    const char32_t plane = (index - 0xC0) / 2;
    return (plane << 16) | 0xFFFE | ((index - 0xC0) & 1);
}

void Append(QString& out, char32_t c) {
    if (c < 0x10000) {
        out.append(QChar(static_cast<char16_t>(c)));
    } else {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    }
}

// Applies `map` to every code point; `map` appends the replacement and reports whether it did.
template <typename Map>
QString Rewrite(const QString& text, Map map) {
    QString out;
    out.reserve(text.size());
    const QStringView view(text);
    for (qsizetype i = 0; i < view.size(); ++i) {
        char32_t c = view[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < view.size() && view[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(view[i], view[i + 1]);
            ++i;
        }
        if (!map(out, c)) Append(out, c);
    }
    return out;
}

bool NeedsShield(char32_t c) {
    return StandInIndex(c).has_value() || (c >= kStandInBase && c <= kEscape);
}

}  // namespace

QString ShieldControlCharacters(const QString& text) {
    bool any = false;
    for (QChar c : text) {
        // Supplementary noncharacters and stand-ins start with a high surrogate.
        if (c.isHighSurrogate() || NeedsShield(c.unicode())) {
            any = true;
            break;
        }
    }
    if (!any) return text;
    return Rewrite(text, [](QString& out, char32_t c) {
        if (const std::optional<char32_t> index = StandInIndex(c)) {
            Append(out, kStandInBase + *index);
            return true;
        }
        if (c >= kStandInBase && c <= kEscape) {
            Append(out, kEscape);
            Append(out, c - kEscapeShift);
            return true;
        }
        return false;
    });
}

QString UnshieldControlCharacters(const QString& text) {
    if (!text.contains(QChar(QChar::highSurrogate(kStandInBase)))) return text;
    bool escaped = false;
    QString out = Rewrite(text, [&escaped](QString& out, char32_t c) {
        if (escaped) {
            escaped = false;
            if (c >= kStandInBase - kEscapeShift && c <= kEscape - kEscapeShift) {
                Append(out, c + kEscapeShift);
                return true;
            }
            Append(out, kEscape);  // not an escape after all
        }
        if (c == kEscape) {
            escaped = true;
            return true;
        }
        if (c >= kStandInBase && c < kEscape) {
            Append(out, FromStandInIndex(c - kStandInBase));
            return true;
        }
        return false;
    });
    if (escaped) Append(out, kEscape);
    return out;
}

}  // namespace quorvane
