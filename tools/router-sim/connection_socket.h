#pragma once

#include <string>

namespace routersim {

// The descriptor of this process's accepted socket for the TCP connection between the two
// endpoints, or -1. The HTTP library hands request handlers no socket, yet a response that must
// never be written (or a stream stuck on a client that stopped reading) has to be cut at stop().
int findServerSideSocket(const std::string& localAddress, int localPort,
                         const std::string& remoteAddress, int remotePort);

}  // namespace routersim
