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

// Whether a body is binary data whatever its label says. The WHATWG MIME Sniffing rule takes one
// binary data byte (0x00-0x08, 0x0B, 0x0E-0x1A, 0x1C-0x1F) in the first 512 bytes for binary,
// unless a UTF-16 or UTF-8 byte-order mark starts the body; a router's log page may carry a few
// control characters (a device name in a log line, say), so here more than one such byte in 32
// of those first bytes makes a body binary. Random or compressed bytes hold about one in ten.
bool IsBinaryBody(QByteArrayView body);

}  // namespace quorvane
