#pragma once

// The words the program and its page reader (quorvane-page-reader) say to each other, one page a
// run of the reader.
//
// Standard input: the page's Content-Type value on the first line (any line break in it made a
// blank), then the body bytes to the end.
// Standard output: kTextAnswer followed by the page's text in UTF-8, or kEngineAnswer alone when
// only the browser engine can give the page's text exactly.
// Exit status 0; kExitNoTypeLine for input without the first line, kExitNotWritten when the
// answer could not be written. A reader that ends otherwise (killed at its CPU or memory limit,
// say) has read nothing.
namespace quorvane::page_reader_protocol {

inline constexpr char kTextAnswer[] = "text\n";
inline constexpr char kEngineAnswer[] = "engine\n";
inline constexpr int kExitNoTypeLine = 2;
inline constexpr int kExitNotWritten = 3;

}  // namespace quorvane::page_reader_protocol
