#pragma once

namespace quorvane {

// Which of the router's two logs: chosen by the button that was pressed, it decides the page
// that is fetched, its clear request, the analysis and the copy file's header line.
enum class LogKind { System, Security };

}  // namespace quorvane
