#include "platform/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "machine/home_directory.h"
#include "platform/atomic_file.h"

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

bool isEnabled(const std::filesystem::path& entry) {
    std::error_code error;
    return !entry.empty() && std::filesystem::exists(entry, error);
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
