#pragma once

#include <QByteArrayView>

namespace quorvane {

// How a browser shows a body by its Content-Type: as an HTML document (text/html,
// application/xhtml+xml, and a missing or empty type, which browsers sniff and routers send for
// their pages), as a text file (text/plain and the other types browsers show as text), or not as
// text at all (images, archives, application/octet-stream, XML documents).
enum class ContentKind { Html, Text, Other };

ContentKind ClassifyContentType(QByteArrayView contentType);

// Whether the media type, parameters aside, is application/xhtml+xml: browsers read it with an
// XML parser, so only the engine gives its text exactly.
bool IsXhtmlType(QByteArrayView contentType);

// Whether a body is binary data whatever its label says, by the WHATWG MIME Sniffing rules for a
// resource of unknown type: a body that starts, after white space, with one of the HTML
// signatures ("<html", "<!--", "<table", ...) is markup; otherwise a binary data byte (0x00-0x08,
// 0x0B, 0x0E-0x1A, 0x1C-0x1F) in the first 512 bytes makes it binary, unless it starts with a
// UTF-16 or UTF-8 byte-order mark.
bool IsBinaryBody(QByteArrayView body);

}  // namespace quorvane
