#pragma once

#include "router_sim.h"

#include <optional>
#include <string>
#include <string_view>

namespace routersim {

enum class LogKind { System, Security };

// A log page is head + log block + tail, all UTF-8 until encodePage(). The text that a browser
// renders outside the log block holds no marker phrase, no "/" and no number of four digits, so
// that it cannot be mistaken for log content; only markersInMarkup hides marker phrases in parts
// of the markup that are not rendered.
// With plainMarkup the page has no style sheet, script or event handler of its own, so that
// only a scripted log block makes it more than static markup.
std::string pageHead(LogKind kind, std::string_view charsetLabel, bool markersInMarkup,
                     bool plainMarkup = false);
std::string logBlock(PageStyle style, std::string_view log, LogKind kind = LogKind::System);
std::string pageTail(LogKind kind, bool plainMarkup = false);

std::string renderPage(LogKind kind, PageStyle style, std::string_view log,
                       std::string_view charsetLabel, bool markersInMarkup = false,
                       bool plainMarkup = false);

// Where the ScriptFile style's page reads its log, and that script file's text.
std::string_view logScriptPath(LogKind kind);
std::string logScript(std::string_view log);

// A file other than the log script that a ManyResources page refers to and the router serves.
struct ServedFile {
    std::string_view contentType;
    std::string_view body;
};
// The file at `path` (lower case), if the router has one there.
std::optional<ServedFile> servedFile(std::string_view path);

// The page with its log block inside 100,000 nested inline elements, as a hostile router might.
std::string nestedPage(LogKind kind, PageStyle style, std::string_view log,
                       std::string_view charsetLabel);

// A page of at least minimumSize bytes: the ordinary page with padding lines after the log. It is
// produced piece by piece as the socket takes it and never held whole.
class OversizedPage {
public:
    OversizedPage(LogKind kind, PageStyle style, std::string_view log, std::string_view charset,
                  std::size_t minimumSize);
    std::size_t size() const { return head_.size() + padding_ + tail_.size(); }
    std::string piece(std::size_t offset, std::size_t length) const;

private:
    std::string head_;
    std::size_t padding_ = 0;
    std::string tail_;
};

// The page bytes in the given charset ("utf-8" or "windows-1252"; anything else is left as
// UTF-8). Characters that windows-1252 lacks become "?".
std::string encodePage(std::string_view utf8, std::string_view charset);

// The short page that goes with an error status such as 401 or 404.
std::string statusPage(int status);

// Bytes that are not text: NUL bytes, invalid UTF-8 and random values, the same on every call.
std::string binaryBody(std::size_t size);

}  // namespace routersim
