#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace wren::AgentRoots {

/// Where the agents keep their transcripts. CODEX_HOME and CLAUDE_CONFIG_DIR, when present
/// (even empty), are taken verbatim; otherwise the account's home joined with ".codex" or
/// ".claude". An account without a home has no default: the agent then has no home and no
/// roots (never ".codex" in whatever the current directory is). Computed once per process.

const std::optional<std::filesystem::path>& codexHome();
const std::optional<std::filesystem::path>& claudeHome();
const std::optional<std::filesystem::path>& codexSessions();   // codexHome/sessions
const std::optional<std::filesystem::path>& claudeProjects();  // claudeHome/projects
const std::vector<std::filesystem::path>& codex();   // sessions, archived_sessions; or none
const std::vector<std::filesystem::path>& claude();  // projects; or none

/// The rule behind the homes, free of the process: `value` is the variable's value (null when it
/// is unset), taken verbatim when present — no tilde expansion, no trimming, an empty value means
/// the current directory; otherwise `userHome` joined with `dotName`, or nothing when
/// `userHome` is empty.
std::optional<std::filesystem::path> homeFrom(const char* value,
                                              const std::filesystem::path& userHome,
                                              std::string_view dotName);
/// A Codex home's transcript roots: sessions, then archived_sessions; none without a home.
std::vector<std::filesystem::path> codexRootsOf(
    const std::optional<std::filesystem::path>& codexHome);
/// A Claude home's transcript roots: projects; none without a home.
std::vector<std::filesystem::path> claudeRootsOf(
    const std::optional<std::filesystem::path>& claudeHome);

}  // namespace wren::AgentRoots
