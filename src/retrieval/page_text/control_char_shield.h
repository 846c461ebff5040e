#pragma once

#include <QString>

namespace quorvane {

// The HTML parser turns control characters (but tab, line feed, form feed and carriage return)
// and noncharacters into U+FFFD, where a browser keeps them: the C1 controls that windows-1252
// leaves for its five undefined bytes would be lost. Shielding swaps each of them for a private
// stand-in that the parser passes through untouched, and unshielding the rendered text swaps
// them back. Text that holds none of them passes through unchanged.
QString ShieldControlCharacters(const QString& text);
QString UnshieldControlCharacters(const QString& text);

}  // namespace quorvane
