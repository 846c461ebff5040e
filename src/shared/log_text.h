#pragma once

#include <QLatin1String>

namespace quorvane {

// The line end of the text read from a log page, of the copy file and of what the results box
// is given; searched for exactly. Latin-1, so that it serves QString and UTF-8 bytes alike.
inline constexpr QLatin1String kLineEnd("\r\n");

}  // namespace quorvane
