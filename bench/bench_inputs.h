#pragma once

#include "log_timestamps.h"
#include "router_sim.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace quorvane::bench {

inline constexpr std::size_t kKiB = 1024;
inline constexpr std::size_t kMiB = 1024 * kKiB;

enum class RouterLog { System, Security };

// The moment at which the analysis benchmarks run; their logs are dated relative to it, so that
// every run finds the same lines of "this year".
AnalysisClock BenchClock();
std::chrono::system_clock::time_point BenchNow();

// The number of firewall lines that makes the demo router's system log page (pre layout, UTF-8)
// about `pageBytes` long: the log of a busy router is mostly blocked packets.
int FirewallLinesForPage(std::size_t pageBytes);

// The demo router's system log dated relative to `now` with that many firewall lines, lines
// joined by "\n" as RouterSim::setSystemLog takes it.
std::string SystemLogForPage(std::size_t pageBytes, std::chrono::system_clock::time_point now);

// A log page as the demo router serves it, about `pageBytes` long, dated relative to BenchNow().
// Made once per process and kept, since the large ones take a while to build.
const QByteArray& RouterPage(RouterLog log, std::size_t pageBytes,
                             routersim::PageStyle style = routersim::PageStyle::Pre);

// The body text of that page (pre layout): what the window hands to the analyses. Kept too.
const QString& RouterLogText(RouterLog log, std::size_t pageBytes);

// A system log page as the demo router can serve it. Every kind holds the same log for a given
// size: the log of a `pre` page of that many bytes.
struct DemoPage {
    const char* name;  // in the benchmarks' names
    routersim::PageStyle style;
    bool plainMarkup;
    // Markup built to make a parser slow or hungry, as large as the size measured, with the log
    // of a small page inside it.
    routersim::Fault fault = routersim::Fault::None;
};

// The demo router's default page: the log in `pre`, in a page with a style sheet of its own,
// which sends it to the web engine.
inline constexpr DemoPage kDemoPage{"demo", routersim::PageStyle::Pre, false};
// The same without style sheet or script: the static reader's.
inline constexpr DemoPage kStaticPage{"static", routersim::PageStyle::Pre, true};
// The log in a script file of the router that the page loads and writes out.
inline constexpr DemoPage kScriptFilePage{"script-file", routersim::PageStyle::ScriptFile, false};
// The log in a script array inside the page, written out with document.write.
inline constexpr DemoPage kScriptArrayPage{"script-array", routersim::PageStyle::ScriptArray,
                                           false};

// The log written by one of a dozen scripts and style sheets the page refers to, several of
// which the router does not have.
inline constexpr DemoPage kManyResourcesPage{"many-resources", routersim::PageStyle::ManyResources,
                                             false};

// Every layout of the demo router's log page: the ones without script also in plain markup, which
// the page reader reads, and all of them with the router's own style sheet and script, which send
// them to the engine.
inline constexpr DemoPage kEveryDemoPage[] = {
    kStaticPage,
    {"static-br", routersim::PageStyle::BrLines, true},
    {"static-table", routersim::PageStyle::Table, true},
    {"static-textarea", routersim::PageStyle::TextArea, true},
    {"static-div", routersim::PageStyle::DivLines, true},
    kDemoPage,
    {"br", routersim::PageStyle::BrLines, false},
    {"table", routersim::PageStyle::Table, false},
    {"textarea", routersim::PageStyle::TextArea, false},
    {"div", routersim::PageStyle::DivLines, false},
    kScriptArrayPage,
    kScriptFilePage,
    {"script-textarea", routersim::PageStyle::ScriptTextArea, false},
    {"hidden-field-rows", routersim::PageStyle::HiddenFieldRows, false},
    {"styled-lines", routersim::PageStyle::StyledLines, false},
    kManyResourcesPage,
};

// The hostile pages that the engine is slowest on, with the router's style sheet and script.
inline constexpr DemoPage kHostileDivPage{"hostile-div", routersim::PageStyle::Pre, false,
                                          routersim::Fault::HostileDivNesting};
inline constexpr DemoPage kHostileAttributesPage{"hostile-attributes", routersim::PageStyle::Pre,
                                                 false, routersim::Fault::HostileAttributes};

inline constexpr char kDemoPassword[] = "demo";

// The demo router in this process, serving one kind of page on a free loopback port with
// kDemoPassword, its log dated relative to the real clock.
struct DemoRouter {
    DemoRouter(DemoPage page, std::size_t logPageBytes);
    std::string url(const std::string& path) const;

    routersim::RouterSim sim;
    int firewallLines;
    std::string log;
    QByteArray html;                 // the page itself
    std::vector<std::string> paths;  // what a browser must fetch to show the log
    std::size_t bytes = 0;           // of all of them
    bool started = false;
};

// The label that benchmarks and tables use for a size: "64KiB", "1MiB", "16MiB".
std::string SizeLabel(std::size_t bytes);

}  // namespace quorvane::bench
