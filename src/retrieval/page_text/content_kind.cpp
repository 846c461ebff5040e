#include "content_kind.h"

#include "ascii.h"

#include <QByteArray>
#include <algorithm>

namespace quorvane {
namespace {

// The type/subtype of a Content-Type value in lower case; empty when the value is missing or
// is not a media type, which browsers treat alike.
QByteArray Essence(QByteArrayView contentType) {
    const qsizetype semicolon = contentType.indexOf(';');
    QByteArrayView essence = semicolon < 0 ? contentType : contentType.first(semicolon);
    while (!essence.isEmpty() && IsAsciiSpaceButFormFeed(essence.front()))
        essence = essence.sliced(1);
    while (!essence.isEmpty() && IsAsciiSpaceButFormFeed(essence.back())) essence.chop(1);
    const qsizetype slash = essence.indexOf('/');
    if (slash <= 0 || slash == essence.size() - 1) return {};
    for (const char c : essence) {
        if (IsAsciiSpaceButFormFeed(c)) return {};
    }
    return essence.toByteArray().toLower();
}

// Types outside text/* that browsers show as text.
constexpr const char* kTextLikeTypes[] = {
    "application/json",       "application/javascript",   "application/x-javascript",
    "application/ecmascript", "application/x-ecmascript",
};

// text/* types that browsers show as XML documents rather than as text.
constexpr const char* kXmlTextTypes[] = {"text/xml", "text/xsl"};

constexpr qsizetype kBinarySniffLength = 512;
constexpr qsizetype kBinaryShare = 32;  // one binary data byte in this many is still text

bool IsBinaryDataByte(unsigned char byte) {
    return byte <= 0x08 || byte == 0x0B || (byte >= 0x0E && byte <= 0x1A) ||
           (byte >= 0x1C && byte <= 0x1F);
}

}  // namespace

ContentKind ClassifyContentType(QByteArrayView contentType) {
    const QByteArray essence = Essence(contentType);
    if (essence.isEmpty() || essence == "text/html" || essence == "application/xhtml+xml") {
        return ContentKind::Html;
    }
    for (const char* type : kXmlTextTypes) {
        if (essence == type) return ContentKind::Other;
    }
    if (essence.startsWith("text/")) return ContentKind::Text;
    for (const char* type : kTextLikeTypes) {
        if (essence == type) return ContentKind::Text;
    }
    return ContentKind::Other;
}

bool IsXhtmlType(QByteArrayView contentType) {
    return Essence(contentType) == "application/xhtml+xml";
}

bool IsBinaryBody(QByteArrayView body) {
    if (body.startsWith("\xFE\xFF") || body.startsWith("\xFF\xFE") ||
        body.startsWith("\xEF\xBB\xBF")) {
        return false;
    }
    const QByteArrayView head = body.first(qMin(body.size(), kBinarySniffLength));
    const auto binary = std::count_if(head.begin(), head.end(), [](char c) {
        return IsBinaryDataByte(static_cast<unsigned char>(c));
    });
    return binary * kBinaryShare > head.size();
}

}  // namespace quorvane
