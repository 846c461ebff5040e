#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace routersim {

// How the log is laid out in the page. The last six need a browser that runs scripts and
// applies style sheets to show the log at all.
enum class PageStyle {
    Pre,
    BrLines,
    Table,
    TextArea,
    DivLines,
    ScriptArray,      // a script array written out with document.write
    ScriptFile,       // the same array in a script file of the router, /doc/syslog.js
    ScriptTextArea,   // a text area that a script fills when the page has loaded
    HiddenFieldRows,  // a hidden field that a script splits into table rows
    StyledLines,      // lines kept by white-space: pre, after help text that a style hides
    ManyResources,    // a dozen scripts and style sheets referred to, some missing (404); served
                      // ones write the log from the script file and keep its lines apart
};

// What the server does with a log page request instead of answering normally. Used by tests to
// stand in for a faulty router or network.
enum class Fault {
    None,
    Status403,
    Status404,
    Status500,
    EmptyPage,           // 200 with an empty body
    RedirectSameOrigin,  // 302 to the same page with "redirected=1" added to the query
    RedirectOtherHost,   // 302 to redirectTarget (another host or port); records what arrives there
    NeverAnswer,         // accepts the connection, reads the request, never answers
    CutBody,             // announces a Content-Length, sends half, closes the connection
    HugeBody,            // a body larger than hugeBodyBytes
    SlowBody,            // the page in small pieces with pauses, all within a few seconds
    BinaryBody,          // random bytes, NUL bytes and invalid UTF-8 as text/html
    UnknownCharset,      // Content-Type text/html; charset=x-no-such-charset
    MarkersInMarkup,     // the normal page plus marker phrases in a comment, scripts, a style
                         // and hidden elements, none of which a browser renders as text
    DeepNesting,         // the normal page with its log inside 100,000 nested elements
    Status204,           // 204 No Content once logged in
    Status304,           // 304 Not Modified once logged in
    RedirectWithoutLocation,  // 302 with no Location field
    GzipBody,                 // a gzip-compressed page with Content-Encoding: gzip, never asked for
    EarlyHints,               // a 103 Early Hints answer, then the normal one
    PlainText,                // the log alone as text/plain
    OctetStream,              // the page as application/octet-stream
    RedirectToLogin,          // 302 to /login.htm?next=<page>, a login page that is served
    RedirectOtherLog,         // 302 from either log page to the other one
    RedirectElsewhere,        // 302 to /doc/status.htm, holding neither log's name
    NotHttp,                  // a console banner instead of an HTTP answer, then the end
    HeaderFlood,              // a status line and then header lines without end
    Trickle,                  // the page one byte per trickleInterval
    LongReason,               // 500 with a reason phrase of 1 MiB
    // Markup built to make a parser slow or hungry, hostileBytes long, the log inside it:
    HostileDivNesting,     // nested <div>
    HostileListNesting,    // nested <ul><li>
    HostileBoldNesting,    // nested <b id=N>
    HostileAttributes,     // one element with very many attributes
    HostileLongAttribute,  // one very long attribute
    HostileAnchorDiv,      // <a><div> repeated, each <a> misnested
    HostileDivParagraph,   // nested <div><p>
    HostileParagraphBold,  // <p><b id=N>x</p> repeated: memory more than time
};

struct Options {
    std::string password = "quorvane";
    PageStyle style = PageStyle::Pre;
    std::string charset =
        "utf-8";  // "utf-8" or "windows-1252": how the page is encoded and labelled
    Fault fault = Fault::None;
    std::string redirectTarget = {};        // for RedirectOtherHost, e.g. "http://127.0.0.2:PORT/"
    std::size_t hugeBodyBytes = 40u << 20;  // for HugeBody
    std::size_t hostileBytes = 1u << 20;    // for the hostile-markup faults
    int firewallLines = 5;                  // firewall entries in the system log
    bool plainMarkup = false;   // no style sheet, script or event handler outside the log block
    bool allowAnyHost = false;  // start() refuses addresses outside loopback unless this is set
    std::chrono::milliseconds trickleInterval{1000};  // for Trickle
    // Run by both log pages, as script of the router's own or one a log line slipped in
    // unescaped (for the tests of what a page may ask of its router).
    std::string pageScript = {};
};

// One request the server received, as the tests need to see it.
struct ReceivedRequest {
    std::string method;
    std::string target;         // path and query as sent
    std::string authorization;  // the Authorization header, empty when absent
    int status = 0;             // what the server answered
};

// A stand-in for the ADSL router's web server: the system log at /doc/syslog.htm and the
// security log at /doc/seclog.htm behind basic authentication (user "admin"), the clear requests
// ?WINDWEB_URL=...&clearlog=0 that empty a log, and fault modes for the tests.
// Thread-safe: the server runs on its own thread; every method may be called from any thread.
class RouterSim {
public:
    explicit RouterSim(Options options = {});
    ~RouterSim();
    RouterSim(const RouterSim&) = delete;
    RouterSim& operator=(const RouterSim&) = delete;

    // Listens on host:port (port 0 picks a free one) and serves on a background thread.
    bool start(const std::string& host = "127.0.0.1", int port = 0);
    void stop();
    int port() const;
    std::string host() const;

    // The current log texts, lines in the router's layout joined with "\n".
    std::string systemLog() const;
    std::string securityLog() const;
    void setSystemLog(std::string text);
    void setSecurityLog(std::string text);
    void setFault(Fault fault);
    void setStyle(PageStyle style);

    std::vector<ReceivedRequest> requests() const;
    int clearRequestCount() const;  // clear requests received, of either log, whatever the answer
    int clearsPerformed() const;    // clear requests that were authorised and emptied a log
    int streamsInProgress() const;  // paced or oversized answers still being written
    void resetRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Logs in the router's line layout with timestamps relative to `now`.
std::string makeSystemLog(std::chrono::system_clock::time_point now, int firewallLines);
std::string makeSecurityLog(std::chrono::system_clock::time_point now);

// Command-line names: "pre", "br", "table", "textarea", "div" and "none", "status-403",
// "never-answer", ... Parsing ignores letter case, "-" and "_", so "NeverAnswer" works as well.
std::string_view styleName(PageStyle style);
std::optional<PageStyle> styleFromName(std::string_view name);
std::string_view faultName(Fault fault);
std::optional<Fault> faultFromName(std::string_view name);
const std::vector<Fault>& allFaults();

// localhost, 127.0.0.0/8 and ::1.
bool isLoopbackHost(std::string_view host);

}  // namespace routersim
