#include "bench_inputs.h"

#include "page_text.h"
#include "sim_hostile.h"
#include "sim_page.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <tuple>

namespace quorvane::bench {

namespace {

// The log inside a hostile page: the markup around it makes its size.
constexpr std::size_t kHostileLogBytes = 4 * kKiB;

bool Hostile(const DemoPage& page) { return page.fault != routersim::Fault::None; }

using Clock = std::chrono::system_clock;

std::size_t SystemPageBytes(int firewallLines) {
    return routersim::renderPage(routersim::LogKind::System, routersim::PageStyle::Pre,
                                 routersim::makeSystemLog(BenchNow(), firewallLines), "utf-8")
        .size();
}

std::string LogLine(Clock::time_point when, std::string_view message) {
    const std::time_t seconds = Clock::to_time_t(when);
    std::tm t{};
    localtime_r(&seconds, &t);
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d  ", t.tm_mon + 1, t.tm_mday,
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return stamp + std::string(message);
}

// A security log spread evenly over the 400 days before `now`, so that most of its lines carry
// the current year and the ones of last year stand first, as on a router that never clears it.
std::string SecurityLogForPage(std::size_t pageBytes, Clock::time_point now) {
    static constexpr std::array<std::string_view, 6> kMessages{
        "Login failure for admin from 198.51.100.23",
        "Port scan detected from 203.0.113.77, 31 ports",
        "Intrusion blocked: TCP SYN flood from 198.51.100.9",
        "Login success for admin from 192.0.2.10",
        "Intrusion blocked: UDP flood from 203.0.113.200",
        "Login failure for root from 198.51.100.61"};
    const std::string head = routersim::pageHead(routersim::LogKind::Security, "utf-8", false);
    const std::string tail = routersim::pageTail(routersim::LogKind::Security);
    std::size_t cycle = 0;
    for (std::string_view m : kMessages) cycle += LogLine(now, m).size() + 1;
    const std::size_t overhead = head.size() + tail.size() + 24;  // the <pre> around the log
    const std::size_t lines =
        pageBytes > overhead ? (pageBytes - overhead) * kMessages.size() / cycle : 1;
    const auto span = std::chrono::hours(24 * 400);
    std::string log;
    log.reserve(pageBytes);
    for (std::size_t i = 0; i < lines; ++i) {
        const auto when = now - span + span * (i + 1) / lines;
        if (i > 0) log += '\n';
        log += LogLine(std::chrono::time_point_cast<Clock::duration>(when),
                       kMessages[i % kMessages.size()]);
    }
    return log;
}

QByteArray MakePage(RouterLog log, std::size_t pageBytes, routersim::PageStyle style) {
    const std::string text = log == RouterLog::System ? SystemLogForPage(pageBytes, BenchNow())
                                                      : SecurityLogForPage(pageBytes, BenchNow());
    const auto kind =
        log == RouterLog::System ? routersim::LogKind::System : routersim::LogKind::Security;
    const std::string page = routersim::renderPage(kind, style, text, "utf-8");
    return QByteArray(page.data(), qsizetype(page.size()));
}

}  // namespace

AnalysisClock BenchClock() {
    return {QDateTime(QDate(2026, 12, 6), QTime(10, 0, 0)), QStringLiteral(":")};
}

Clock::time_point BenchNow() {
    const QDateTime local(QDate(2026, 12, 6), QTime(10, 0, 0));
    return Clock::from_time_t(std::time_t(local.toSecsSinceEpoch()));
}

int FirewallLinesForPage(std::size_t pageBytes) {
    // The lines differ only a little in length, so two samples give the size of any count.
    static const std::size_t base = SystemPageBytes(0);
    constexpr int kSample = 4096;
    static const double perLine = double(SystemPageBytes(kSample) - base) / kSample;
    if (pageBytes <= base) return 0;
    return int(double(pageBytes - base) / perLine + 0.5);
}

std::string SystemLogForPage(std::size_t pageBytes, std::chrono::system_clock::time_point now) {
    return routersim::makeSystemLog(now, FirewallLinesForPage(pageBytes));
}

const QByteArray& RouterPage(RouterLog log, std::size_t pageBytes, routersim::PageStyle style) {
    static std::mutex mutex;
    static std::map<std::tuple<RouterLog, std::size_t, routersim::PageStyle>, QByteArray> pages;
    std::lock_guard lock(mutex);
    auto [it, added] = pages.try_emplace({log, pageBytes, style});
    if (added) it->second = MakePage(log, pageBytes, style);
    return it->second;
}

const QString& RouterLogText(RouterLog log, std::size_t pageBytes) {
    static std::mutex mutex;
    static std::map<std::pair<RouterLog, std::size_t>, QString> texts;
    const QByteArray& page = RouterPage(log, pageBytes);
    std::lock_guard lock(mutex);
    auto [it, added] = texts.try_emplace({log, pageBytes});
    if (added) it->second = BodyInnerText(DecodePageBytes(page, "text/html; charset=utf-8"));
    return it->second;
}

DemoRouter::DemoRouter(DemoPage page, std::size_t logPageBytes)
    : sim({.password = kDemoPassword,
           .style = page.style,
           .fault = page.fault,
           .hostileBytes = logPageBytes,
           .plainMarkup = page.plainMarkup}),
      firewallLines(FirewallLinesForPage(Hostile(page) ? kHostileLogBytes : logPageBytes)),
      log(SystemLogForPage(Hostile(page) ? kHostileLogBytes : logPageBytes, Clock::now())) {
    const std::string text =
        Hostile(page) ? routersim::hostilePage(page.fault, routersim::LogKind::System, page.style,
                                               log, "utf-8", logPageBytes, page.plainMarkup)
                      : routersim::renderPage(routersim::LogKind::System, page.style, log, "utf-8",
                                              false, page.plainMarkup);
    html = QByteArray(text.data(), qsizetype(text.size()));
    paths.push_back("/doc/syslog.htm");
    bytes = text.size();
    if (page.style == routersim::PageStyle::ScriptFile ||
        page.style == routersim::PageStyle::ManyResources) {
        paths.emplace_back(routersim::logScriptPath(routersim::LogKind::System));
        bytes += routersim::logScript(log).size();
    }
    sim.setSystemLog(log);
    started = sim.start();
}

std::string DemoRouter::url(const std::string& path) const {
    return "http://" + sim.host() + ":" + std::to_string(sim.port()) + path;
}

std::string SizeLabel(std::size_t bytes) {
    if (bytes % kMiB == 0) return std::to_string(bytes / kMiB) + "MiB";
    if (bytes % kKiB == 0) return std::to_string(bytes / kKiB) + "KiB";
    return std::to_string(bytes) + "B";
}

}  // namespace quorvane::bench
