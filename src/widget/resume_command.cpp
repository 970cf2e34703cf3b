#include "widget/resume_command.h"

#include <cstddef>

namespace wren::SessionOpener {

bool isUuid(std::string_view text) {
    static constexpr std::size_t kDashes[] = {8, 13, 18, 23};
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool dash = i == kDashes[0] || i == kDashes[1] || i == kDashes[2] || i == kDashes[3];
        if (dash) {
            if (c != '-') return false;
            continue;
        }
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) return false;
    }
    return true;
}

std::string_view agentProgram(Agent agent) {
    return agent == Agent::claude ? "claude" : "codex";
}

std::string terminalProgram(const char* terminalVariable) {
    if (terminalVariable != nullptr && *terminalVariable != '\0') return terminalVariable;
    return "x-terminal-emulator";
}

std::optional<Launch> terminalResume(const SessionSummary& session, std::string_view terminal,
                                     std::string_view agent) {
    if (!isUuid(session.nativeID)) return std::nullopt;
    const auto& directory = session.workingDirectory;
    if (!directory || directory->empty() || directory->front() != '/') return std::nullopt;
    if (terminal.empty() || agent.empty()) return std::nullopt;
    Launch launch{std::string(terminal), {"-e", std::string(agent)}, *directory};
    if (session.agent == Agent::claude) {
        launch.arguments.push_back("--resume");
    } else {
        launch.arguments.push_back("resume");
    }
    launch.arguments.push_back(session.nativeID);
    return launch;
}

}  // namespace wren::SessionOpener
