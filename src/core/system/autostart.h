#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wren::Autostart {

/// "Start at login" through the desktop's autostart folder: the one file WrenIsland ever writes,
/// and only when the user asks for it.

inline constexpr std::string_view kAppId = "io.github.wrenisland.WrenIsland";

/// $XDG_CONFIG_HOME/autostart when that is an absolute path (the base directory rules ignore a
/// relative one), else <home>/.config/autostart; empty without either.
std::filesystem::path directory(const char* xdgConfigHome, const std::filesystem::path& home);
/// The entry of this process's user: <directory>/io.github.wrenisland.WrenIsland.desktop.
std::filesystem::path entryPath();

/// The entry's text, starting `program` (an absolute path, quoted as desktop entries require):
/// the public command, so the entry outlives a move of the private toolkit program.
std::string entryText(const std::filesystem::path& program);

/// Whether the entry exists (as anything but a dangling name) and does not turn itself off:
/// desktops skip an entry with Hidden=true or X-GNOME-Autostart-enabled=false.
bool isEnabled(const std::filesystem::path& entry);
/// The same judged on the entry's text: false when its [Desktop Entry] group says either.
bool textIsEnabled(std::string_view text);

/// Writes the entry whole or not at all: into a temporary file beside it, then renamed over it,
/// creating the folder if needed. An error message when it could not.
std::optional<std::string> enable(const std::filesystem::path& entry, std::string_view text);
/// Removes the entry; an absent entry is no error.
std::optional<std::string> disable(const std::filesystem::path& entry);

}  // namespace wren::Autostart
