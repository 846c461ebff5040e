#include "network_isolation.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace quorvane {

namespace {

bool WriteFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    return ::close(fd) == 0 && written;
}

QString SystemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

// The network namespace a process is in, as "net:[inode]"; empty when it cannot be read.
std::string NetworkOf(const std::string& process) {
    char target[64] = {};
    const std::string link = "/proc/" + process + "/ns/net";
    return ::readlink(link.c_str(), target, sizeof target - 1) > 0 ? target : "";
}

}  // namespace

NetworkIsolation IsolateNetwork() {
    if (::geteuid() == 0 && ::unshare(CLONE_NEWNET) == 0) return {true, {}};
    // Root without the right to make a network namespace (in a container, say) may still make a
    // user namespace, as any user may where the system allows it.
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return {false, SystemError("unshare")};
    // Only our own ids are mapped, each to itself; groups cannot be changed from here on, which
    // the kernel asks of an unprivileged process before it may map its group.
    if (!WriteFile("/proc/self/setgroups", "deny") ||
        !WriteFile("/proc/self/uid_map", std::to_string(uid) + ' ' + std::to_string(uid) + " 1") ||
        !WriteFile("/proc/self/gid_map", std::to_string(gid) + ' ' + std::to_string(gid) + " 1")) {
        return {false, SystemError("user namespace id map")};
    }
    return {true, {}};
}

std::optional<bool> SharesThisNetwork(qint64 pid) {
    if (pid <= 0) return std::nullopt;
    const std::string theirs = NetworkOf(std::to_string(pid));
    const std::string ours = NetworkOf("self");
    if (theirs.empty() || ours.empty()) return std::nullopt;
    return theirs == ours;
}

}  // namespace quorvane
