#pragma once

#include <filesystem>
#include <vector>

namespace wren::AgentRoots {

/// Where the agents keep their transcripts. CODEX_HOME and CLAUDE_CONFIG_DIR, when present
/// (even empty), are taken verbatim; otherwise the account's home joined with ".codex" or
/// ".claude". Computed once per process.

const std::filesystem::path& codexHome();
const std::filesystem::path& claudeHome();
const std::filesystem::path& codexSessions();   // codexHome/sessions
const std::filesystem::path& claudeProjects();  // claudeHome/projects
const std::vector<std::filesystem::path>& codex();   // sessions, archived_sessions
const std::vector<std::filesystem::path>& claude();  // projects

}  // namespace wren::AgentRoots
