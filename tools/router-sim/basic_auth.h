#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace routersim {

// Standard base64 (RFC 4648 alphabet); the "=" padding may be left out. Any other character,
// including blanks, makes the text invalid.
std::optional<std::string> decodeBase64(std::string_view text);

// Whether an Authorization header value carries exactly these basic credentials. The password is
// compared byte for byte, so it may hold ":" or any UTF-8 text.
bool basicCredentialsMatch(std::string_view authorization, std::string_view user,
                           std::string_view password);

}  // namespace routersim
