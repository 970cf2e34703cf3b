#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "core/transcripts/agent.h"

namespace wren {

/// Where the install markers are looked up. The process's own resolves "~/" against the account's
/// home and absolute markers as they are; tests point both into a scratch tree.
struct InstallPaths {
    std::filesystem::path home;  // empty: the account has none, so "~/" markers never exist
    std::filesystem::path root;  // prefixed to absolute markers; empty for the real file system

    static const InstallPaths& process();
    /// The marker's path, or nothing for a "~/" marker without a home.
    std::optional<std::filesystem::path> resolve(std::string_view marker) const;
};

/// Which agents are installed and whether the companion memory product is present.
struct InstallState {
    std::set<Agent> agents;
    bool wrenMem = false;

    friend bool operator==(const InstallState&, const InstallState&) = default;

    /// Probes the markers of both agents and the companion (see AgentAvailability).
    static InstallState probe();
    /// The same against given paths and WRENISLAND_FORCE_MISSING value (absent: not set).
    static InstallState probe(const InstallPaths& paths,
                              std::optional<std::string_view> forceMissing);
};

namespace AgentAvailability {
/// Lower-case tokens of WRENISLAND_FORCE_MISSING (comma-separated, blanks trimmed), read once.
const std::set<std::string>& forcedMissing();
/// Not forced missing, and one of the agent's install markers exists. Reads the disk each call.
bool isInstalled(Agent agent);

/// The tokens of one WRENISLAND_FORCE_MISSING value: split at commas, empty segments dropped,
/// spaces and tabs trimmed, lower-cased.
std::set<std::string> parseForcedMissing(std::string_view value);
/// isInstalled against a given token set and paths.
bool isInstalled(Agent agent, const std::set<std::string>& forcedMissing,
                 const InstallPaths& paths);
}  // namespace AgentAvailability

namespace WrenMemPresence {
/// Not forced missing, and ~/.wrenmem exists or either agent's config mentions "wrenmem".
bool isInstalled();
/// The companion's install page.
std::string_view learnMoreURL();

/// isInstalled against given paths and WRENISLAND_FORCE_MISSING value (absent: not set). The
/// value is matched as a whole, so "xwrenmemx" also counts.
bool isInstalled(const InstallPaths& paths, std::optional<std::string_view> forceMissing);
/// Whether ~/.claude.json, else ~/.codex/config.toml, is valid UTF-8 that mentions "wrenmem".
bool registeredAsMCPServer(const InstallPaths& paths);
/// Whether the file is readable, valid UTF-8 throughout and contains `text` (case-sensitive).
/// Read in bounded chunks; a file over the size cap, or anything but a regular file, is
/// unreadable.
bool fileMentions(const std::filesystem::path& file, std::string_view text);
}  // namespace WrenMemPresence

}  // namespace wren
