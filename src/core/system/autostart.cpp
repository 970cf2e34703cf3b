#include "core/system/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>

#include "core/discovery/home_directory.h"
#include "core/system/atomic_file.h"

namespace wren::Autostart {
namespace {

std::string describe(const std::filesystem::path& where, int error) {
    return where.string() + ": " + std::strerror(error);
}

// A desktop entry's Exec quoting: the whole argument in double quotes, with `"`, `` ` ``, `$`
// and `\` escaped by a backslash, and "%" doubled (field codes).
std::string quoted(const std::string& argument) {
    std::string out = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out.push_back('\\');
        if (c == '%') out.push_back('%');
        out.push_back(c);
    }
    out.push_back('"');
    // The file format escapes backslashes once more in string values.
    std::string escaped;
    for (const char c : out) {
        if (c == '\\') escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

}  // namespace

std::filesystem::path directory(const char* xdgConfigHome, const std::filesystem::path& home) {
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        return std::filesystem::path(xdgConfigHome) / "autostart";
    }
    if (home.empty()) return {};
    return home / ".config" / "autostart";
}

std::filesystem::path entryPath() {
    const std::filesystem::path folder = directory(std::getenv("XDG_CONFIG_HOME"), userHome());
    if (folder.empty()) return {};
    return folder / (std::string(kAppId) + ".desktop");
}

std::string entryText(const std::filesystem::path& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=WrenIsland\n"
           "Comment=Recent AI coding agent sessions in an island at the top of the screen\n"
           "Exec=" +
           quoted(program.string()) +
           "\n"
           "Icon=" +
           std::string(kAppId) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool textIsEnabled(std::string_view text) {
    bool inMainGroup = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos) continue;
        const auto trimmed = [](std::string_view part) {
            while (!part.empty() && (part.front() == ' ' || part.front() == '\t'))
                part.remove_prefix(1);
            while (!part.empty() && (part.back() == ' ' || part.back() == '\t'))
                part.remove_suffix(1);
            return part;
        };
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return false;
        }
    }
    return true;
}

bool isEnabled(const std::filesystem::path& entry) {
    std::error_code error;
    if (entry.empty() || !std::filesystem::exists(entry, error)) return false;
    // An entry is a few hundred bytes; a larger one is judged by its start.
    constexpr std::size_t kMost = 64 * 1024;
    std::string text(kMost, '\0');
    const int fd = ::open(entry.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return true;  // there, though we cannot read why it might be off
    std::size_t got = 0;
    while (got < kMost) {
        const ssize_t n = ::read(fd, text.data() + got, kMost - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    return textIsEnabled(text);
}

std::optional<std::string> enable(const std::filesystem::path& entry, std::string_view text) {
    if (entry.empty()) return std::string("no home folder to keep the entry in");
    return writeFileAtomically(entry, text);
}

std::optional<std::string> disable(const std::filesystem::path& entry) {
    if (entry.empty()) return std::nullopt;
    if (::unlink(entry.c_str()) != 0 && errno != ENOENT) return describe(entry, errno);
    return std::nullopt;
}

}  // namespace wren::Autostart
