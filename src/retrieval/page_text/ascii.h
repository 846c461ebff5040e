#pragma once

namespace quorvane {

// HTML's white space: space, tab, line feed, form feed and carriage return. It separates the
// names, attributes and tokens of markup.
constexpr bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// The same without the form feed: the white space of HTTP header values, and what CSS collapses
// in text (a carriage return, reachable only through "&#13;", renders as a space there, and a
// form feed is an ordinary character).
constexpr bool IsAsciiSpaceButFormFeed(char c) { return c != '\f' && IsAsciiSpace(c); }

constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace quorvane
