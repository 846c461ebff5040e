// Loaded into the engine's helper by tst_engine_render: every name lookup the helper or its
// children try is written, one name a line, to the file that QUORVANE_LOOKUP_LOG names, and fails,
// so that no query leaves even where the test lets a page try.

#include <netdb.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

void Record(const char* name) {
    const char* log = std::getenv("QUORVANE_LOOKUP_LOG");
    if (log == nullptr) return;
    const int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    const char* shown = name != nullptr ? name : "(null)";
    // One write a line, so that lines from several processes never mix.
    char line[512];
    const std::size_t length = std::min(std::strlen(shown), sizeof line - 2);
    std::memcpy(line, shown, length);
    line[length] = '\n';
    [[maybe_unused]] const ssize_t written = ::write(fd, line, length + 1);
    ::close(fd);
}

}  // namespace

extern "C" {

int getaddrinfo(const char* node, const char*, const addrinfo*, addrinfo** result) {
    Record(node);
    if (result != nullptr) *result = nullptr;
    return EAI_NONAME;
}

hostent* gethostbyname(const char* name) {
    Record(name);
    h_errno = HOST_NOT_FOUND;
    return nullptr;
}

hostent* gethostbyname2(const char* name, int) { return gethostbyname(name); }

int gethostbyname_r(const char* name, hostent*, char*, size_t, hostent** result, int* error) {
    Record(name);
    *result = nullptr;
    *error = HOST_NOT_FOUND;
    return 0;
}

int gethostbyname2_r(const char* name, int, hostent* entry, char* buffer, size_t length,
                     hostent** result, int* error) {
    return gethostbyname_r(name, entry, buffer, length, result, error);
}

}  // extern "C"
