#include "machine/directory.h"

#include <fcntl.h>
#include <unistd.h>

namespace wren {

Directory openDirectory(int parent, const char* name, bool follow) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
    if (!follow) flags |= O_NOFOLLOW;
    const int fd = ::openat(parent, name, flags);
    if (fd < 0) return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) ::close(fd);
    return Directory(dir);
}

}  // namespace wren
