#pragma once

#include <QByteArray>
#include <QString>

namespace quorvane {

// Decodes a fetched page as browsers do: a byte-order mark, else the charset of the HTTP
// Content-Type header, else a <meta> charset within the first 1024 bytes, else windows-1252.
QString DecodePageBytes(const QByteArray& body, const QByteArray& contentType);

// The rendered text of the document's <body>, as the HTML standard's innerText gives it with
// default display values (textarea content included as preformatted text). Lines are separated
// by CR LF, and a text that holds any line ends with CR LF.
QString BodyInnerText(const QString& html);

}  // namespace quorvane
