#pragma once

#include "sim_page.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace routersim {

// Whether the fault is one of the pages built to make an HTML parser slow or hungry.
bool isHostileMarkup(Fault fault);

// The log page with the fault's construct repeated to about `size` bytes and the ordinary log
// block inside it (at the innermost point of a nesting, else after the repeats), so that a
// reader that survives the page still finds the log. UTF-8, like renderPage(). Empty for a fault
// that is not hostile markup. With plainMarkup the page carries no style sheet or script of its
// own, so that only its markup decides which reader takes it.
std::string hostilePage(Fault fault, LogKind kind, PageStyle style, std::string_view log,
                        std::string_view charsetLabel, std::size_t size, bool plainMarkup = false);

}  // namespace routersim
