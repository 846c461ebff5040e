#pragma once

#include "log_timestamps.h"
#include "router_sim.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstddef>
#include <string>

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

// The label that benchmarks and tables use for a size: "64KiB", "1MiB", "16MiB".
std::string SizeLabel(std::size_t bytes);

}  // namespace quorvane::bench
