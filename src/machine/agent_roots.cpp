#include "machine/agent_roots.h"

#include <cstdlib>

#include "machine/home_directory.h"

namespace wren::AgentRoots {

std::filesystem::path homeFrom(const char* value, const std::filesystem::path& userHome,
                               std::string_view dotName) {
    if (value != nullptr) return std::filesystem::path(value);
    return userHome / dotName;
}

std::vector<std::filesystem::path> codexRootsOf(const std::filesystem::path& codexHome) {
    return {codexHome / "sessions", codexHome / "archived_sessions"};
}

std::vector<std::filesystem::path> claudeRootsOf(const std::filesystem::path& claudeHome) {
    return {claudeHome / "projects"};
}

const std::filesystem::path& codexHome() {
    static const std::filesystem::path home =
        homeFrom(std::getenv("CODEX_HOME"), userHome(), ".codex");
    return home;
}

const std::filesystem::path& claudeHome() {
    static const std::filesystem::path home =
        homeFrom(std::getenv("CLAUDE_CONFIG_DIR"), userHome(), ".claude");
    return home;
}

const std::filesystem::path& codexSessions() {
    static const std::filesystem::path sessions = codex().front();
    return sessions;
}

const std::filesystem::path& claudeProjects() {
    static const std::filesystem::path projects = claude().front();
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
