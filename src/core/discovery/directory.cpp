#include "core/discovery/directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace wren {
namespace {

int openDirectoryFd(int parent, const char* name, bool follow) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
    if (!follow) flags |= O_NOFOLLOW;
    return ::openat(parent, name, flags);
}

}  // namespace

Directory openDirectory(int parent, const char* name, bool follow) {
    const int fd = openDirectoryFd(parent, name, follow);
    if (fd < 0) return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) ::close(fd);
    return Directory(dir);
}

std::optional<DirectoryListing> DirectoryListing::open(int parent, const char* name,
                                                       bool follow) {
    const int fd = openDirectoryFd(parent, name, follow);
    if (fd < 0) return std::nullopt;
    return DirectoryListing(fd);
}

// The buffer is left uninitialised: only what the kernel writes is ever read.
DirectoryListing::DirectoryListing(int fd) : fd_(fd), buffer_(new char[kBufferBytes]) {}

DirectoryListing::DirectoryListing(DirectoryListing&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      buffer_(std::move(other.buffer_)),
      filled_(other.filled_),
      at_(other.at_),
      ended_(other.ended_) {}

DirectoryListing::~DirectoryListing() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<DirectoryListing::Entry> DirectoryListing::next() {
    if (at_ >= filled_) {
        if (ended_) return std::nullopt;
        const ssize_t got = ::getdents64(fd_, buffer_.get(), kBufferBytes);
        if (got <= 0) {  // the end, or an error: either way nothing more comes
            ended_ = true;
            return std::nullopt;
        }
        filled_ = static_cast<std::size_t>(got);
        at_ = 0;
    }
    // The kernel writes whole, aligned records; d_reclen steps from one to the next.
    const auto* record = reinterpret_cast<const struct dirent64*>(buffer_.get() + at_);
    at_ += record->d_reclen;
    return Entry{record->d_name, record->d_type};
}

}  // namespace wren
