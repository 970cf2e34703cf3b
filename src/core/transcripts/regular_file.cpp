#include "core/transcripts/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace wren {

std::optional<RegularFile> RegularFile::open(const std::filesystem::path& path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    RegularFile file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return file;
}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<std::uint64_t> RegularFile::size() const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || info.st_size < 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::size_t RegularFile::readAt(std::uint64_t offset, char* out, std::size_t length) const {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;  // end of file
        } else if (errno != EINTR) {
            break;
        }
    }
    return done;
}

}  // namespace wren
