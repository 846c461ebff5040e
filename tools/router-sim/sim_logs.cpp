// The demo router's log contents. Addresses come from the documentation ranges (192.0.2.0/24,
// 198.51.100.0/24, 203.0.113.0/24) so that nothing here points at a real host.

#include "router_sim.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

namespace routersim {
namespace {

using Clock = std::chrono::system_clock;

struct Entry {
    Clock::time_point when;
    std::string message;
};

std::tm localTime(Clock::time_point t) {
    const std::time_t seconds = Clock::to_time_t(t);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

// MM/DD/YYYY HH:MM:SS, then the two characters that the router puts before every message.
std::string line(const std::tm& t, const std::string& message) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d  ", t.tm_mon + 1, t.tm_mday,
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return stamp + message;
}

// Oldest first, as the router lists its log.
std::string join(std::vector<Entry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.when < b.when; });
    std::string text;
    for (const Entry& e : entries) {
        if (!text.empty()) text += '\n';
        text += line(localTime(e.when), e.message);
    }
    return text;
}

std::string firewallMessage(int i) {
    struct Probe {
        const char* protocol;
        int port;
    };
    static constexpr std::array<Probe, 8> kProbes{{{"TCP", 445},
                                                   {"UDP", 137},
                                                   {"TCP", 23},
                                                   {"TCP", 3389},
                                                   {"UDP", 1434},
                                                   {"TCP", 135},
                                                   {"TCP", 22},
                                                   {"TCP", 8080}}};
    const Probe& p = kProbes[static_cast<std::size_t>(i) % kProbes.size()];
    const std::string source = "198.51.100." + std::to_string(23 + (i * 7) % 200);
    if (i % 5 == 4) return "Firewall: ICMP echo request from " + source + " blocked";
    return std::string("Firewall: ") + p.protocol + " packet from " + source + ":" +
           std::to_string(1024 + (i * 389) % 60000) + " to 203.0.113.45:" + std::to_string(p.port) +
           " dropped";
}

}  // namespace

std::string makeSystemLog(Clock::time_point now, int firewallLines) {
    using namespace std::chrono;
    // The PPP session came up a day or so ago; the clock was last synchronised some hours ago.
    const auto up = now - (days(1) + hours(2) + minutes(14) + seconds(37));
    std::vector<Entry> entries{
        {up - seconds(95), "ADSL training started"},
        {up - seconds(41), "ADSL link is up: downstream 8128 kbps, upstream 832 kbps"},
        {up - seconds(25), "PPP1 Starting PPP connection"},
        {up - seconds(8), "PPP1 PAP authentication success"},
        {up, "PPP1 Session is up."},
        {up + seconds(1), "WAN IP is 203.0.113.45"},
        {up + seconds(1), "DNS Primary IP address is 198.51.100.1"},
        {up + seconds(1), "DNS Secondary IP address is 198.51.100.2"},
        {up + seconds(2), "Default gateway is 203.0.113.1"},
        {now - hours(20) - minutes(3), "DHCP server leased 192.0.2.33 to B\u00fcro-PC"},
        {now - (hours(5) + minutes(17) + seconds(42)),
         "Received time from Time Server 192.0.2.123"},
        {now - seconds(64), "Web administration login from 192.0.2.10"},
    };
    // Spread the blocked packets over the last day, the newest a few minutes ago.
    const auto first = now - hours(22);
    const auto last = now - minutes(7);
    for (int i = 0; i < firewallLines; ++i) {
        const auto step =
            firewallLines > 1 ? (last - first) / (firewallLines - 1) : Clock::duration{};
        entries.push_back({first + step * i, firewallMessage(i)});
    }
    return join(std::move(entries));
}

std::string makeSecurityLog(Clock::time_point now) {
    using namespace std::chrono;
    const std::tm today = localTime(now);
    // Last year's lines stand at its very end, so that they stay last year's whatever the date.
    std::tm lastYear{};
    lastYear.tm_year = today.tm_year - 1;
    lastYear.tm_mon = 11;
    lastYear.tm_mday = 30;
    lastYear.tm_hour = 23;
    lastYear.tm_min = 14;
    lastYear.tm_sec = 5;
    std::string text = line(lastYear, "Login failure for admin from 198.51.100.23") + '\n';
    lastYear.tm_mday = 31;
    lastYear.tm_hour = 8;
    lastYear.tm_min = 2;
    lastYear.tm_sec = 44;
    text += line(lastYear, "Port scan detected from 203.0.113.200, 12 ports");

    // This year's lines lie in the last days, but never before the first second of the year.
    std::tm newYear{};
    newYear.tm_year = today.tm_year;
    newYear.tm_mday = 1;
    newYear.tm_isdst = -1;
    const auto yearStart = Clock::from_time_t(std::mktime(&newYear));
    const std::array<std::pair<Clock::duration, const char*>, 5> recent{{
        {hours(71) + minutes(12), "Login success for admin from 192.0.2.10"},
        {hours(30) + minutes(45), "Intrusion blocked: TCP SYN flood from 198.51.100.9"},
        {hours(2) + minutes(40), "Port scan detected from 203.0.113.77, 31 ports"},
        {minutes(41), "Login failure for admin from 198.51.100.23"},
        {minutes(5), "Login success for admin from 192.0.2.10"},
    }};
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < recent.size(); ++i) {
        const auto when = std::max(now - recent[i].first, yearStart + seconds(i));
        entries.push_back({when, recent[i].second});
    }
    return text + '\n' + join(std::move(entries));
}

}  // namespace routersim
