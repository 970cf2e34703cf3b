#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace wren {

/// The choices a user makes in the island's menu, remembered across runs in
/// $XDG_CONFIG_HOME/wrenisland/wrenisland.conf. The file is read at start and written only
/// when the user changes a choice, so an untouched install never writes it.
struct Settings {
    /// Hang from the screen's top edge, over a top panel, instead of below it.
    bool overTopPanel = false;
    /// Stay visible while a full-screen window is active on the island's screen.
    bool showOverFullScreen = false;
    /// A desktop notification when an agent finishes its turn.
    bool notifyWhenFinished = false;

    bool operator==(const Settings&) const = default;

    /// $XDG_CONFIG_HOME/wrenisland/wrenisland.conf when that is absolute, else
    /// <home>/.config/wrenisland/wrenisland.conf; empty without either.
    static std::filesystem::path path(const char* xdgConfigHome, const std::filesystem::path& home);
    /// The file of this process's user.
    static std::filesystem::path userPath();

    /// The settings in `text`: `key=true|false` lines; unknown keys, comments and bad lines are
    /// ignored, so a newer or hand-edited file never stops the island.
    static Settings parse(std::string_view text);
    std::string format() const;

    /// Reads the file (bounded; absent, unreadable or not a regular file gives the defaults).
    static Settings load(const std::filesystem::path& file);
    /// Writes the file whole or not at all; an error message when it could not.
    std::optional<std::string> save(const std::filesystem::path& file) const;
};

}  // namespace wren
