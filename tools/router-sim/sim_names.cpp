#include "router_sim.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <utility>

namespace routersim {
namespace {

constexpr std::array<std::pair<PageStyle, std::string_view>, 11> kStyles{{
    {PageStyle::Pre, "pre"},
    {PageStyle::BrLines, "br"},
    {PageStyle::Table, "table"},
    {PageStyle::TextArea, "textarea"},
    {PageStyle::DivLines, "div"},
    {PageStyle::ScriptArray, "script-array"},
    {PageStyle::ScriptFile, "script-file"},
    {PageStyle::ScriptTextArea, "script-textarea"},
    {PageStyle::HiddenFieldRows, "hidden-field-rows"},
    {PageStyle::StyledLines, "styled-lines"},
    {PageStyle::ManyResources, "many-resources"},
}};

constexpr std::array<std::pair<Fault, std::string_view>, 37> kFaults{{
    {Fault::None, "none"},
    {Fault::Status403, "status-403"},
    {Fault::Status404, "status-404"},
    {Fault::Status500, "status-500"},
    {Fault::EmptyPage, "empty-page"},
    {Fault::RedirectSameOrigin, "redirect-same-origin"},
    {Fault::RedirectOtherHost, "redirect-other-host"},
    {Fault::NeverAnswer, "never-answer"},
    {Fault::CutBody, "cut-body"},
    {Fault::HugeBody, "huge-body"},
    {Fault::SlowBody, "slow-body"},
    {Fault::BinaryBody, "binary-body"},
    {Fault::UnknownCharset, "unknown-charset"},
    {Fault::MarkersInMarkup, "markers-in-markup"},
    {Fault::DeepNesting, "deep-nesting"},
    {Fault::Status204, "status-204"},
    {Fault::Status304, "status-304"},
    {Fault::RedirectWithoutLocation, "redirect-without-location"},
    {Fault::GzipBody, "gzip-body"},
    {Fault::EarlyHints, "early-hints"},
    {Fault::PlainText, "plain-text"},
    {Fault::OctetStream, "octet-stream"},
    {Fault::RedirectToLogin, "redirect-to-login"},
    {Fault::RedirectOtherLog, "redirect-other-log"},
    {Fault::RedirectElsewhere, "redirect-elsewhere"},
    {Fault::NotHttp, "not-http"},
    {Fault::HeaderFlood, "header-flood"},
    {Fault::Trickle, "trickle"},
    {Fault::LongReason, "long-reason"},
    {Fault::HostileDivNesting, "hostile-div"},
    {Fault::HostileListNesting, "hostile-ul-li"},
    {Fault::HostileBoldNesting, "hostile-b-id"},
    {Fault::HostileAttributes, "hostile-attributes"},
    {Fault::HostileLongAttribute, "hostile-long-attribute"},
    {Fault::HostileAnchorDiv, "hostile-a-div"},
    {Fault::HostileDivParagraph, "hostile-div-p"},
    {Fault::HostileParagraphBold, "hostile-p-b-id"},
}};

std::string folded(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c != '-' && c != '_') out += char(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

template <typename Table>
auto fromName(const Table& table, std::string_view name)
    -> std::optional<typename Table::value_type::first_type> {
    const std::string key = folded(name);
    for (const auto& [value, text] : table) {
        if (folded(text) == key) return value;
    }
    return std::nullopt;
}

template <typename Table, typename Value>
std::string_view toName(const Table& table, Value value) {
    for (const auto& [v, text] : table) {
        if (v == value) return text;
    }
    return {};
}

}  // namespace

std::string_view styleName(PageStyle style) { return toName(kStyles, style); }
std::optional<PageStyle> styleFromName(std::string_view name) { return fromName(kStyles, name); }
std::string_view faultName(Fault fault) { return toName(kFaults, fault); }
std::optional<Fault> faultFromName(std::string_view name) { return fromName(kFaults, name); }

const std::vector<Fault>& allFaults() {
    static const std::vector<Fault> faults = [] {
        std::vector<Fault> all;
        for (const auto& entry : kFaults) all.push_back(entry.first);
        return all;
    }();
    return faults;
}

bool isLoopbackHost(std::string_view host) {
    const std::string text(host);
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (lower == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, text.c_str(), &v6) == 1 &&
           std::memcmp(&v6, &in6addr_loopback, sizeof v6) == 0;
}

}  // namespace routersim
