#include "platform/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace wren {

SingleInstance::SingleInstance(const std::string& name) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;  // no sockets: run rather than refuse

    // An abstract name starts with a NUL byte and is exactly as long as the address length
    // says: no terminator, no padding. A name too long for sun_path is cut, which still keeps
    // two processes with the same name apart.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);

    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), size) == 0) return;
    first_ = errno != EADDRINUSE;
    ::close(fd_);
    fd_ = -1;
}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0) ::close(fd_);
}

std::string SingleInstance::defaultName() {
    return "wrenisland-" + std::to_string(::getuid());
}

}  // namespace wren
