#include "basic_auth.h"

#include <cctype>

namespace routersim {
namespace {

int sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::optional<std::string> decodeBase64(std::string_view text) {
    std::size_t padding = 0;
    while (padding < 2 && !text.empty() && text.back() == '=') {
        text.remove_suffix(1);
        ++padding;
    }
    if (text.size() % 4 == 1 || (padding > 0 && (text.size() + padding) % 4 != 0)) {
        return std::nullopt;
    }
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const int value = sextet(c);
        if (value < 0) return std::nullopt;
        bits = (bits << 6) | unsigned(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += char((bits >> count) & 0xFF);
        }
    }
    return out;
}

bool basicCredentialsMatch(std::string_view authorization, std::string_view user,
                           std::string_view password) {
    constexpr std::string_view kScheme = "basic";
    if (authorization.size() <= kScheme.size()) return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(authorization[i])) != kScheme[i]) return false;
    }
    std::string_view token = authorization.substr(kScheme.size());
    if (token.front() != ' ') return false;
    while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
    const std::optional<std::string> decoded = decodeBase64(token);
    if (!decoded) return false;
    // The user name cannot hold a colon; the password may, so only the first one separates.
    const std::size_t colon = decoded->find(':');
    return colon != std::string::npos && std::string_view(*decoded).substr(0, colon) == user &&
           std::string_view(*decoded).substr(colon + 1) == password;
}

}  // namespace routersim
