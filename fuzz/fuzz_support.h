#pragma once

// Helpers shared by the fuzz targets: how the fuzzer's bytes become texts, and the check that
// turns a broken property into a crash.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorvane::fuzz {

// libFuzzer records an input as a crash only when the process dies, so a broken property aborts.
[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::quorvane::fuzz::Fail(#condition, __FILE__, __LINE__))

// The bytes as a page decoded as UTF-8 gives them: what the analyses normally see.
inline QString AsUtf8(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// The bytes as raw UTF-16 code units (an odd last byte is dropped): reaches lone surrogates and
// code units that no UTF-8 decoding produces.
inline QString AsUtf16(const uint8_t* data, size_t size) {
    QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, size / 2 * 2);
    return text;
}

// An analysis input: the log text, and after the first NUL what the result box held before.
struct LogAndBox {
    QString log;
    QString box;
};

inline LogAndBox SplitAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul < 0) {
        return {text, QString()};
    }
    return {text.left(nul), text.mid(nul + 1)};
}

}  // namespace quorvane::fuzz
