#pragma once

#include <set>
#include <string>
#include <string_view>

#include "transcripts/agent.h"

namespace wren {

/// Which agents are installed and whether the companion memory product is present.
struct InstallState {
    std::set<Agent> agents;
    bool wrenMem = false;

    friend bool operator==(const InstallState&, const InstallState&) = default;

    /// Probes the markers of both agents and the companion (see AgentAvailability).
    static InstallState probe();
};

namespace AgentAvailability {
/// Lower-case tokens of WRENISLAND_FORCE_MISSING (comma-separated, blanks trimmed), read once.
const std::set<std::string>& forcedMissing();
/// Not forced missing, and one of the agent's install markers exists. Reads the disk each call.
bool isInstalled(Agent agent);
}  // namespace AgentAvailability

namespace WrenMemPresence {
/// Not forced missing, and ~/.wrenmem exists or either agent's config mentions "wrenmem".
bool isInstalled();
/// The companion's install page.
std::string_view learnMoreURL();
}  // namespace WrenMemPresence

}  // namespace wren
