#pragma once

#include <QByteArrayView>

#include <unistd.h>

#include <cerrno>

namespace quorvane {

// Writes all of `bytes` to `fd`, however the system splits the writing; false when it cannot.
inline bool WriteAll(int fd, QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(fd, bytes.data(), size_t(bytes.size()));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

}  // namespace quorvane
