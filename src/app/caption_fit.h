#pragma once

#include <QFont>

class QWidget;

namespace quorvane {

// The window is laid out in fixed positions made for a small dialog font; platform fonts are
// often wider. The captions' widths at `font`, against the room each control leaves them: a label
// ends where the next control on its row begins.
int CaptionOverflow(const QWidget* window, const QFont& font);

// The window's font family at the largest size (not above its default) at which no caption is cut.
QFont FontFittingCaptions(const QWidget* window);

}  // namespace quorvane
