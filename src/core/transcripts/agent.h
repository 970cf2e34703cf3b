#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace wren {

/// The two agents whose transcripts we read. The raw value is also the display name.
enum class Agent { claude, codex };

inline constexpr std::array<Agent, 2> kAllAgents{Agent::claude, Agent::codex};

/// "Claude" or "Codex".
constexpr std::string_view rawValue(Agent agent) {
    return agent == Agent::claude ? std::string_view("Claude") : std::string_view("Codex");
}

/// The prefix that turns an agent's own session id into a system-wide one.
constexpr std::string_view idPrefix(Agent agent) {
    return agent == Agent::claude ? std::string_view("claude:") : std::string_view("codex:");
}

/// Exactly "Claude" or "Codex" (case-sensitive); anything else is no agent.
constexpr std::optional<Agent> agentFromRawValue(std::string_view raw) {
    if (raw == "Claude") return Agent::claude;
    if (raw == "Codex") return Agent::codex;
    return std::nullopt;
}

}  // namespace wren
