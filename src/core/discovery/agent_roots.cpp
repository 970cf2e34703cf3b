#include "core/discovery/agent_roots.h"

#include <cstdlib>

#include "core/discovery/home_directory.h"

namespace wren::AgentRoots {

std::optional<std::filesystem::path> homeFrom(const char* value,
                                              const std::filesystem::path& userHome,
                                              std::string_view dotName) {
    if (value != nullptr) return std::filesystem::path(value);
    if (userHome.empty()) return std::nullopt;
    return userHome / dotName;
}

std::vector<std::filesystem::path> codexRootsOf(
    const std::optional<std::filesystem::path>& codexHome) {
    if (!codexHome) return {};
    return {*codexHome / "sessions", *codexHome / "archived_sessions"};
}

std::vector<std::filesystem::path> claudeRootsOf(
    const std::optional<std::filesystem::path>& claudeHome) {
    if (!claudeHome) return {};
    return {*claudeHome / "projects"};
}

const std::optional<std::filesystem::path>& codexHome() {
    static const auto home = homeFrom(std::getenv("CODEX_HOME"), userHome(), ".codex");
    return home;
}

const std::optional<std::filesystem::path>& claudeHome() {
    static const auto home = homeFrom(std::getenv("CLAUDE_CONFIG_DIR"), userHome(), ".claude");
    return home;
}

const std::optional<std::filesystem::path>& codexSessions() {
    static const auto sessions =
        codex().empty() ? std::nullopt : std::optional<std::filesystem::path>(codex().front());
    return sessions;
}

const std::optional<std::filesystem::path>& claudeProjects() {
    static const auto projects =
        claude().empty() ? std::nullopt : std::optional<std::filesystem::path>(claude().front());
    return projects;
}

const std::vector<std::filesystem::path>& codex() {
    static const std::vector<std::filesystem::path> roots = codexRootsOf(codexHome());
    return roots;
}

const std::vector<std::filesystem::path>& claude() {
    static const std::vector<std::filesystem::path> roots = claudeRootsOf(claudeHome());
    return roots;
}

}  // namespace wren::AgentRoots
