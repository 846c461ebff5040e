#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "content_kind.h"

namespace quorvane {

// Decodes a fetched page as browsers do: a byte-order mark, else the charset of the HTTP
// Content-Type header, else a <meta> charset within the first 1024 bytes, else windows-1252.
QString DecodePageBytes(const QByteArray& body, const QByteArray& contentType);

// The rendered text of the document's <body>, as the HTML standard's innerText gives it with
// default display values (textarea content included as preformatted text). Lines are separated
// by CR LF, and a text that holds any line ends with CR LF.
QString BodyInnerText(const QString& html);

// BodyInnerText of a page whose text it gives exactly as a browser engine does; nothing when the
// page needs the engine (scripts, style, or markup whose rendering was not checked).
std::optional<QString> StaticBodyText(const QString& html);

// A text file as a browser shows it: decoded by its byte-order mark, else the charset of the
// Content-Type, else as windows-1252 (a text file has no <meta>); every line end (CR LF, LF or
// CR) made CR LF, and a text that holds anything ending with CR LF.
QString TextFileText(const QByteArray& body, const QByteArray& contentType);

// The text of a page of the HTML or text kind as a browser shows it; nothing when only the
// engine can give it exactly, and for a Content-Type of neither kind, which callers refuse.
std::optional<QString> StaticPageText(const QByteArray& body, const QByteArray& contentType);

}  // namespace quorvane
