#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quorvane {

// The canonical name of the encoding that a charset label stands for, as the WHATWG Encoding
// Standard maps labels ("latin1" and "us-ascii" are windows-1252, "utf8" is UTF-8). Empty when
// the label is unknown or this build cannot decode that encoding, so that the caller goes on to
// its next source of a label.
QByteArray EncodingForLabel(QByteArrayView label);

// Decodes bytes with an encoding named by EncodingForLabel. Malformed input never fails: it
// becomes U+FFFD.
QString DecodeWithEncoding(QByteArrayView bytes, const QByteArray& encoding);

}  // namespace quorvane
