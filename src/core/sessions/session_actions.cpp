#include "core/sessions/session_actions.h"

namespace wren::SessionActions {

std::string_view downloadURL(Agent agent) {
    return agent == Agent::claude ? "https://claude.ai/download"
                                  : "https://github.com/openai/codex";
}

Hint notDetected(Agent agent) {
    return Hint{std::string(rawValue(agent)) + " not detected", "Download",
                std::string(downloadURL(agent))};
}

Hint reopenFailed() {
    return Hint{"Could not reopen that session", "", std::nullopt};
}

Hint sampleOnly() {
    return Hint{"Only a sample \u2014 no session to open yet", "", std::nullopt};
}

Hint needsWrenMem(std::string_view learnMoreURL) {
    Hint hint{"Needs WrenMem \u2014 memory that carries across your AI tools", "", std::nullopt};
    // A link title without an address would be a link to nowhere.
    if (!learnMoreURL.empty()) {
        hint.linkTitle = "Learn more";
        hint.url = std::string(learnMoreURL);
    }
    return hint;
}

HintChange openSession(const SessionSummary& session, bool agentInstalled,
                       const std::function<bool(const SessionSummary&)>& open) {
    if (!agentInstalled) return notDetected(session.agent);
    if (!open || !open(session)) return reopenFailed();
    return std::nullopt;
}

HintChange start(Agent agent, bool agentInstalled) {
    if (agentInstalled) return std::nullopt;
    return notDetected(agent);
}

HintChange saveMemory(bool wrenMemInstalled, std::string_view learnMoreURL) {
    if (wrenMemInstalled) return std::nullopt;
    return needsWrenMem(learnMoreURL);
}

}  // namespace wren::SessionActions
