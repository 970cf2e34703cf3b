#include "core/discovery/home_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace wren {

std::filesystem::path accountHome() {
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
        return std::filesystem::path();
    }
    return std::filesystem::path(found->pw_dir);
}

std::filesystem::path chooseHome(const char* variable,
                                 const std::function<std::filesystem::path()>& account) {
    if (variable != nullptr && variable[0] == '/') return std::filesystem::path(variable);
    const std::filesystem::path found = account();
    return found.is_absolute() ? found : std::filesystem::path();
}

const std::filesystem::path& userHome() {
    static const std::filesystem::path home = chooseHome(std::getenv("HOME"), accountHome);
    return home;
}

std::optional<std::filesystem::path> expandTilde(const std::filesystem::path& path,
                                                 const std::filesystem::path& home) {
    const std::string& text = path.native();
    const bool tilde = text == "~" || text.starts_with("~/");
    if (!tilde) return path;
    if (home.empty()) return std::nullopt;
    return text == "~" ? home : home / text.substr(2);
}

std::optional<std::filesystem::path> expandTilde(const std::filesystem::path& path) {
    return expandTilde(path, userHome());
}

}  // namespace wren
