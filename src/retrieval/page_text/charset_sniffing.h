#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace quorvane {

// The charset parameter of an HTTP Content-Type value ("text/html; charset=ISO-8859-1"), or
// empty when it has none. The label is returned as written; EncodingForLabel interprets it.
QByteArray CharsetFromContentType(QByteArrayView contentType);

// The encoding that a <meta charset> or <meta http-equiv="Content-Type" content="...charset=">
// in the first 1024 bytes of a page declares, found with the HTML standard's prescan (a byte
// scan that skips comments and other tags' attributes). Empty when there is none, or when the
// declared label is unknown. A declared UTF-16 means UTF-8, as in browsers: a page that could
// declare it in ASCII is not UTF-16.
QByteArray PrescanMetaCharset(QByteArrayView page);

}  // namespace quorvane
