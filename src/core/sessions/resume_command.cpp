#include "core/sessions/resume_command.h"

#include <cstddef>

#include "core/transcripts/transcript_readers.h"

namespace wren::SessionOpener {

std::string_view agentProgram(Agent agent) {
    return agent == Agent::claude ? "claude" : "codex";
}

std::string terminalProgram(const char* terminalVariable) {
    if (terminalVariable != nullptr && *terminalVariable != '\0') return terminalVariable;
    return "x-terminal-emulator";
}

std::optional<Launch> terminalResume(const SessionSummary& session, std::string_view terminal,
                                     std::string_view agent) {
    if (!SessionDiscovery::isUuid(session.nativeID)) return std::nullopt;
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
