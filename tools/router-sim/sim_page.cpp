#include "sim_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <vector>

namespace routersim {
namespace {

std::vector<std::string_view> splitLines(std::string_view log) {
    std::vector<std::string_view> lines;
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        lines.push_back(log.substr(0, end));
        if (end == std::string_view::npos) break;
        log.remove_prefix(end + 1);
    }
    return lines;
}

// Where a browser collapses white space, each blank of a run is written as &nbsp;, so that a line
// keeps its two characters between timestamp and message and with them its marker positions.
std::string escaped(std::string_view text, bool keepBlankRuns = false) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool inRun = c == ' ' && ((i > 0 && text[i - 1] == ' ') ||
                                        (i + 1 < text.size() && text[i + 1] == ' '));
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (keepBlankRuns && inRun) {
            out += "&nbsp;";
        } else {
            out += c;
        }
    }
    return out;
}

// A JavaScript string literal of `text` that is also safe inside a script element.
std::string jsString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '<') {
            out += "\\x3c";
        } else if (c == '\r' || c == '\n') {
            out += c == '\r' ? "\\r" : "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// `var logLines = [...]`: the log's lines as the router's scripts keep them.
std::string logArray(std::string_view log) {
    std::string array = "var logLines = [";
    bool first = true;
    for (std::string_view line : splitLines(log)) {
        if (!first) array += ",\n  ";
        array += jsString(line);
        first = false;
    }
    return array + "];\n";
}

// Writes the lines out as preformatted text, each escaped for HTML first.
constexpr std::string_view kWriteLog =
    "function esc(s) { return s.replace(/&/g, '&amp;').replace(/</g, '&lt;'); }\n"
    "document.write('<pre class=\"log\">' + logLines.map(esc).join('\\n') + '</pre>');\n";

// The style sheets and scripts of a ManyResources page, in the order it names them, as the pages
// of real routers name a dozen files of which several were left out of the firmware. The served
// ones depend on each other: log.js writes the lines of the log script out with util.js's esc(),
// and only log.css's white-space keeps them apart.
struct PageFile {
    std::string_view path;
    std::string_view contentType;  // empty: missing on the router
    std::string_view body;
};

constexpr std::string_view kCss = "text/css";
constexpr std::string_view kScript = "application/javascript";

constexpr PageFile kPageFiles[] = {
    {"/css/base.css", kCss, "body { font-family: Arial, Helvetica, sans-serif; }\n"},
    {"/css/theme.css", {}, {}},
    {"/css/menu.css", {}, {}},
    {"/css/log.css", kCss, ".logtext { white-space: pre; font-family: monospace; }\n"},
    {"/css/print.css", {}, {}},
    {"/css/lang_en.css", {}, {}},
    {"/js/util.js", kScript,
     "function esc(s) { return s.replace(/&/g, '&amp;').replace(/</g, '&lt;'); }\n"},
    {"/js/jquery.min.js", {}, {}},
    {"/js/menu.js", {}, {}},
    {"/js/lang_en.js", {}, {}},
    {"/js/log.js", kScript,
     "document.write('<div class=\"logtext\">' + logLines.map(esc).join('\\n') + '</div>');\n"},
};

std::string manyFilesBlock(LogKind kind) {
    std::string block;
    for (const PageFile& file : kPageFiles) {
        if (file.path.ends_with(".css")) {
            block += "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + std::string(file.path) +
                     "\">\n";
            continue;
        }
        // The log's own script goes just before the one that writes it out.
        if (file.path == "/js/log.js") {
            block += "<script type=\"text/javascript\" src=\"" + std::string(logScriptPath(kind)) +
                     "\"></script>\n";
        }
        block +=
            "<script type=\"text/javascript\" src=\"" + std::string(file.path) + "\"></script>\n";
    }
    return block;
}

std::string_view pagePath(LogKind kind) {
    return kind == LogKind::System ? "/doc/syslog.htm" : "/doc/seclog.htm";
}

std::string_view pageTitle(LogKind kind) {
    return kind == LogKind::System ? "System Log" : "Security Log";
}

// Marker phrases where a browser shows nothing: a comment, a style sheet, scripts, a hidden
// element and attribute values. They stand before the log so that a careless reader of the
// markup meets them first.
constexpr std::string_view kHiddenMarkers =
    "<!-- Firewall: rule set loaded. WAN IP is 192.0.2.254 -->\n"
    "<style type=\"text/css\">/* Firewall: rules */ .fw { color: red; }</style>\n"
    "<script type=\"text/javascript\">var lastEvent = \"Firewall: scripted event\";</script>\n"
    "<div hidden>Firewall: hidden entry. DNS Primary IP address is 192.0.2.253</div>\n"
    "<input type=\"hidden\" name=\"fw\" value=\"Firewall: none\">\n"
    "<span title=\"PPP1 Session is up.\"></span>\n";

}  // namespace

std::string_view logScriptPath(LogKind kind) {
    return kind == LogKind::System ? "/doc/syslog.js" : "/doc/seclog.js";
}

std::string logScript(std::string_view log) { return logArray(log); }

std::optional<ServedFile> servedFile(std::string_view path) {
    for (const PageFile& file : kPageFiles) {
        if (file.path == path && !file.contentType.empty()) {
            return ServedFile{file.contentType, file.body};
        }
    }
    return std::nullopt;
}

std::string pageHead(LogKind kind, std::string_view charsetLabel, bool markersInMarkup,
                     bool plainMarkup) {
    std::string head =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
        "<html>\n<head>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
    head += charsetLabel;
    head += "\">\n<title>ADSL Router \u2013 ";
    head += pageTitle(kind);
    head += "</title>\n";
    if (!plainMarkup) {
        head +=
            "<style type=\"text/css\">\n"
            "body { font-family: Arial, Helvetica, sans-serif; background: #eef2f5; margin: 0; }\n"
            "#banner { background: #1d4f7a; color: #fff; padding: 8px 16px; }\n"
            "#menu { background: #d6e0ea; padding: 4px 16px; }\n"
            ".log { font-family: monospace; margin: 8px 16px; }\n"
            "</style>\n"
            "<script type=\"text/javascript\">\n"
            "function confirmClear() { return window.confirm(\"Clear this log now?\"); }\n"
            "</script>\n";
    }
    head +=
        "</head>\n<body>\n"
        "<div id=\"banner\"><h1>ADSL Router</h1>"
        "<p>Model QR-100 \u00a9 Example Networks</p></div>\n"
        "<div id=\"menu\"><a href=\"/doc/status.htm\">Status</a> | "
        "<a href=\"/doc/syslog.htm\">System Log</a> | "
        "<a href=\"/doc/seclog.htm\">Security Log</a> | "
        "<a href=\"/doc/setup.htm\">Setup</a></div>\n<h2>";
    head += pageTitle(kind);
    head += "</h2>\n";
    if (markersInMarkup) head += kHiddenMarkers;
    return head;
}

std::string logBlock(PageStyle style, std::string_view log, LogKind kind) {
    std::string block;
    switch (style) {
        case PageStyle::ScriptArray:
            return "<script type=\"text/javascript\">\n" + logArray(log) + std::string(kWriteLog) +
                   "</script>\n";
        case PageStyle::ScriptFile:
            return "<script type=\"text/javascript\" src=\"" + std::string(logScriptPath(kind)) +
                   "\"></script>\n<script type=\"text/javascript\">\n" + std::string(kWriteLog) +
                   "</script>\n";
        case PageStyle::ScriptTextArea:
            return "<textarea id=\"logbox\" class=\"log\" rows=\"24\" cols=\"110\" "
                   "readonly></textarea>\n<script type=\"text/javascript\">\n" +
                   logArray(log) +
                   "window.onload = function () {\n"
                   "  document.getElementById('logbox').value = logLines.join('\\n');\n"
                   "};\n</script>\n";
        case PageStyle::HiddenFieldRows: {
            std::string joined;
            for (std::string_view line : splitLines(log)) {
                if (!joined.empty()) joined += '|';
                joined += line;
            }
            return "<style type=\"text/css\">#logrows td { white-space: pre; }</style>\n"
                   "<input type=\"hidden\" id=\"logdata\" value=\"" +
                   escaped(joined) +
                   "\">\n<table id=\"logrows\" class=\"log\"></table>\n"
                   "<script type=\"text/javascript\">\n"
                   "var rows = document.getElementById('logrows');\n"
                   "var data = document.getElementById('logdata').value;\n"
                   "if (data) data.split('|').forEach(function (line) {\n"
                   "  rows.insertRow(-1).insertCell(-1).textContent = line;\n"
                   "});\n</script>\n";
        }
        case PageStyle::StyledLines:
            // The help text stands first and names every marker; a browser hides it.
            return "<style type=\"text/css\">\n.help { display: none; }\n"
                   ".logtext { white-space: pre; font-family: monospace; }\n</style>\n"
                   "<div class=\"help\">Example: 01/01/2000 00:00:00  WAN IP is 192.0.2.99 "
                   "DNS Primary IP address is 192.0.2.98 DNS Secondary IP address is 192.0.2.97 "
                   "Firewall: example entry. Received time from Time Server. PPP1 Session is up."
                   "</div>\n<div class=\"logtext\">" +
                   escaped(log) + "</div>\n";
        case PageStyle::ManyResources:
            return manyFilesBlock(kind);
        case PageStyle::Pre:
            return "<pre class=\"log\">" + escaped(log) + "</pre>\n";
        case PageStyle::TextArea:
            return "<textarea class=\"log\" rows=\"24\" cols=\"110\" readonly>" + escaped(log) +
                   "</textarea>\n";
        case PageStyle::BrLines:
            block = "<p class=\"log\">\n";
            for (std::string_view line : splitLines(log)) block += escaped(line, true) + "<br>\n";
            return block + "</p>\n";
        case PageStyle::DivLines:
            block = "<div class=\"log\">\n";
            for (std::string_view line : splitLines(log)) {
                block += "<div>" + escaped(line, true) + "</div>\n";
            }
            return block + "</div>\n";
        case PageStyle::Table:
            block =
                "<table class=\"log\" border=\"1\" cellspacing=\"0\">\n"
                "<tr><th>Time</th><th>Event</th></tr>\n";
            for (std::string_view line : splitLines(log)) {
                // The cells hold the 19-character timestamp and the message after the two
                // separating characters; a line without that layout goes whole into the second.
                const bool dated = line.size() >= 21;
                block += "<tr><td>" + escaped(dated ? line.substr(0, 19) : std::string_view()) +
                         "</td><td>" + escaped(dated ? line.substr(21) : line) + "</td></tr>\n";
            }
            return block + "</table>\n";
    }
    return block;
}

std::string pageTail(LogKind kind, bool plainMarkup) {
    std::string tail = "<p class=\"actions\"><a href=\"";
    tail += pagePath(kind);
    tail += "?WINDWEB_URL=";
    tail += pagePath(kind);
    tail += "&amp;clearlog=0\"";
    if (!plainMarkup) tail += " onclick=\"return confirmClear();\"";
    tail += ">Clear Log</a> &nbsp; <a href=\"";
    tail += pagePath(kind);
    tail +=
        "\">Refresh</a></p>\n"
        "<div id=\"footer\">Firmware 3.11 \u2013 built-in web server</div>\n"
        "</body>\n</html>\n";
    return tail;
}

std::string renderPage(LogKind kind, PageStyle style, std::string_view log,
                       std::string_view charsetLabel, bool markersInMarkup, bool plainMarkup) {
    return pageHead(kind, charsetLabel, markersInMarkup, plainMarkup) + logBlock(style, log, kind) +
           pageTail(kind, plainMarkup);
}

std::string nestedPage(LogKind kind, PageStyle style, std::string_view log,
                       std::string_view charsetLabel) {
    constexpr int kDepth = 100'000;
    std::string page = pageHead(kind, charsetLabel, false);
    page.reserve(page.size() + kDepth * 13 + log.size() * 2);
    for (int i = 0; i < kDepth; ++i) page += "<span>";
    page += logBlock(style, log);
    for (int i = 0; i < kDepth; ++i) page += "</span>";
    return page + pageTail(kind);
}

OversizedPage::OversizedPage(LogKind kind, PageStyle style, std::string_view log,
                             std::string_view charset, std::size_t minimumSize)
    : head_(encodePage(
          pageHead(kind, charset, false) + logBlock(style, log) + "<pre class=\"padding\">",
          charset)),
      tail_(encodePage("</pre>\n" + pageTail(kind), charset)) {
    const std::size_t fixed = head_.size() + tail_.size();
    padding_ = minimumSize > fixed ? minimumSize - fixed : 0;
}

std::string OversizedPage::piece(std::size_t offset, std::size_t length) const {
    static constexpr std::string_view kPadding = "Padding line of the oversized page.\n";
    std::string out;
    while (length > 0 && offset < size()) {
        std::size_t take = 0;
        if (offset < head_.size()) {
            take = std::min(length, head_.size() - offset);
            out.append(head_, offset, take);
        } else if (offset < head_.size() + padding_) {
            const std::size_t column = (offset - head_.size()) % kPadding.size();
            take = std::min({length, kPadding.size() - column, head_.size() + padding_ - offset});
            out.append(kPadding.substr(column, take));
        } else {
            const std::size_t at = offset - head_.size() - padding_;
            take = std::min(length, tail_.size() - at);
            out.append(tail_, at, take);
        }
        offset += take;
        length -= take;
    }
    return out;
}

std::string encodePage(std::string_view utf8, std::string_view charset) {
    if (charset != "windows-1252") return std::string(utf8);
    const iconv_t cd = iconv_open("WINDOWS-1252", "UTF-8");
    if (cd == iconv_t(-1)) return std::string(utf8);
    std::string out(utf8.size(), '\0');  // never longer than the UTF-8 text
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != std::size_t(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) break;
        // Skip the character that has no windows-1252 form (or is not UTF-8) and mark its place.
        std::size_t skip = 1;
        while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
        in += skip;
        inLeft -= skip;
        *outPtr++ = '?';
        --outLeft;
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::string statusPage(int status) {
    std::string reason;
    switch (status) {
        case 401:
            reason = "Unauthorized";
            break;
        case 403:
            reason = "Forbidden";
            break;
        case 404:
            reason = "Not Found";
            break;
        case 405:
            reason = "Method Not Allowed";
            break;
        default:
            reason = "Internal Server Error";
            break;
    }
    const std::string title = std::to_string(status) + " " + reason;
    return "<html><head><title>" + title + "</title></head><body><h1>" + title +
           "</h1></body></html>\n";
}

std::string binaryBody(std::size_t size) {
    static constexpr char kStart[] = "<html><body>\0\xC3\x28\xFF\xFE\xED\xA0\x80";
    std::string body(kStart, sizeof kStart - 1);
    std::mt19937 random(20070412u);
    std::uniform_int_distribution<int> byte(0, 255);
    while (body.size() < size) body += char(byte(random));
    body.resize(size);
    return body;
}

}  // namespace routersim
