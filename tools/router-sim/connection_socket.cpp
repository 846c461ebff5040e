#include "connection_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace routersim {
namespace {

struct Endpoint {
    std::string address;
    int port = -1;
};

Endpoint endpoint(const sockaddr_storage& storage) {
    char text[INET6_ADDRSTRLEN] = {};
    if (storage.ss_family == AF_INET) {
        sockaddr_in v4{};
        std::memcpy(&v4, &storage, sizeof v4);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        return {text, ntohs(v4.sin_port)};
    }
    if (storage.ss_family == AF_INET6) {
        sockaddr_in6 v6{};
        std::memcpy(&v6, &storage, sizeof v6);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        return {text, ntohs(v6.sin6_port)};
    }
    return {};
}

bool matches(int fd, const Endpoint& local, const Endpoint& remote) {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &size) != 0) return false;
    const Endpoint mine = endpoint(storage);
    if (mine.port != local.port || mine.address != local.address) return false;
    size = sizeof storage;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&storage), &size) != 0) return false;
    const Endpoint peer = endpoint(storage);
    return peer.port == remote.port && peer.address == remote.address;
}

}  // namespace

int findServerSideSocket(const std::string& localAddress, int localPort,
                         const std::string& remoteAddress, int remotePort) {
    const Endpoint local{localAddress, localPort};
    const Endpoint remote{remoteAddress, remotePort};
    std::error_code error;
    std::filesystem::directory_iterator it("/proc/self/fd", error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        char* end = nullptr;
        const long fd = std::strtol(name.c_str(), &end, 10);
        if (end != name.c_str() && *end == '\0' && matches(int(fd), local, remote)) return int(fd);
    }
    return -1;
}

}  // namespace routersim
