#include "core/system/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace wren {
namespace {

std::string describe(const std::filesystem::path& where, int error) {
    return where.string() + ": " + std::strerror(error);
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               std::string_view text) {
    if (path.empty()) return std::string("no home folder to keep the file in");
    const std::filesystem::path folder = path.parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return describe(folder, error.value());

    std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return describe(folder, errno);
    const bool written = ::fchmod(fd, 0644) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temporary.c_str());
        return describe(path, written ? errno : writeError);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.c_str());
        return describe(path, renameError);
    }
    // The rename lives in the folder: sync it too, or a crash can bring the old file back.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

}  // namespace wren
