#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace wren {
namespace {

constexpr std::size_t kMaxKey = 64;

std::string fileSafe(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, kMaxKey)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        out += plain ? c : '_';
    }
    return out;
}

bool isDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A folder only this user can write into: nobody else can put a lock file of their own there.
bool isPrivateFolder(const std::filesystem::path& folder, mode_t forbidden) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & forbidden) == 0;
}

std::filesystem::path lockFolder(const char* runtimeDir) {
    if (runtimeDir != nullptr && runtimeDir[0] == '/' &&
        isPrivateFolder(runtimeDir, S_IWGRP | S_IWOTH)) {
        return runtimeDir;
    }
    const std::filesystem::path own = "/tmp/wrenisland-" + std::to_string(::getuid());
    ::mkdir(own.c_str(), 0700);  // may exist already; checked next either way
    if (isPrivateFolder(own, S_IRWXG | S_IRWXO)) return own;
    return {};
}

}  // namespace

SingleInstance::SingleInstance(std::string_view displayKey, const char* runtimeDir) {
    const std::filesystem::path folder = lockFolder(runtimeDir);
    if (folder.empty()) return;
    const std::filesystem::path file = folder / ("wrenisland-" + fileSafe(displayKey) + ".lock");
    // Never follows a link and never waits on a FIFO put in its place.
    const int fd =
        ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
        ::close(fd);
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        first_ = errno != EWOULDBLOCK;
        ::close(fd);
        return;
    }
    fd_ = fd;
    file_ = file;
}

SingleInstance::~SingleInstance() {
    // The file stays: removing it could race a newer island that has just opened it.
    if (fd_ >= 0) ::close(fd_);
}

std::string SingleInstance::keyFor(const char* x11Display, const char* waylandDisplay) {
    const std::string_view x11 = x11Display != nullptr ? x11Display : "";
    if (!x11.empty()) {
        const std::size_t colon = x11.rfind(':');
        if (colon != std::string_view::npos) {
            std::string_view host = x11.substr(0, colon);
            std::string_view number = x11.substr(colon + 1);
            number = number.substr(0, number.find('.'));  // the screen does not matter
            if (host == "unix" || host == "localhost") host = {};
            if (isDigits(number)) {
                return "x11-" + (host.empty() ? "" : fileSafe(host) + "-") + fileSafe(number);
            }
        }
        return "x11-" + fileSafe(x11);
    }
    const std::string_view wayland = waylandDisplay != nullptr ? waylandDisplay : "";
    if (!wayland.empty()) return "wayland-" + fileSafe(wayland);
    return "none";
}

}  // namespace wren
