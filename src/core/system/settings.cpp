#include "core/system/settings.h"

#include <array>
#include <cstdlib>

#include "core/discovery/home_directory.h"
#include "core/system/atomic_file.h"
#include "core/transcripts/regular_file.h"

namespace wren {
namespace {

// Larger than any file we write by far; a bigger one is not ours and is read only this far.
constexpr std::size_t kMaxBytes = 16 * 1024;

struct Key {
    std::string_view name;
    bool Settings::*field;
};
constexpr std::array<Key, 3> kKeys{{
    {"overTopPanel", &Settings::overTopPanel},
    {"showOverFullScreen", &Settings::showOverFullScreen},
    {"notifyWhenFinished", &Settings::notifyWhenFinished},
}};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::filesystem::path Settings::path(const char* xdgConfigHome, const std::filesystem::path& home) {
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        return std::filesystem::path(xdgConfigHome) / "wrenisland" / "wrenisland.conf";
    }
    if (home.empty()) return {};
    return home / ".config" / "wrenisland" / "wrenisland.conf";
}

std::filesystem::path Settings::userPath() {
    return path(std::getenv("XDG_CONFIG_HOME"), userHome());
}

Settings Settings::parse(std::string_view text) {
    Settings settings;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (value != "true" && value != "false") continue;
        for (const Key& known : kKeys) {
            if (known.name == key) settings.*known.field = value == "true";
        }
    }
    return settings;
}

std::string Settings::format() const {
    std::string text = "[WrenIsland]\n";
    for (const Key& known : kKeys) {
        text += std::string(known.name) + "=" + (this->*known.field ? "true" : "false") + "\n";
    }
    return text;
}

Settings Settings::load(const std::filesystem::path& file) {
    if (file.empty()) return {};
    const std::optional<RegularFile> handle = RegularFile::open(file);
    if (!handle) return {};
    std::string text(kMaxBytes, '\0');
    text.resize(handle->readAt(0, text.data(), text.size()));
    return parse(text);
}

std::optional<std::string> Settings::save(const std::filesystem::path& file) const {
    if (file.empty()) return std::string("no home folder to keep the settings in");
    return writeFileAtomically(file, format());
}

}  // namespace wren
