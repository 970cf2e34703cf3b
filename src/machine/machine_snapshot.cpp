#include "machine/machine_snapshot.h"

#include <utility>

#include "machine/agent_roots.h"
#include "machine/profile.h"
#include "machine/session_discovery.h"

namespace wren {
namespace {

// The one order every snapshot follows: Claude's and Codex's rate limits, the sessions, the
// install probes.
template <class Discover, class Probe>
MachineSnapshot assemble(const std::filesystem::path& claudeProjects,
                         const std::filesystem::path& codexSessions, Discover&& discover,
                         Probe&& probe) {
    MachineSnapshot snapshot;
    for (const Agent agent : kAllAgents) {
        auto window = Profile::measure("rateLimits", [&] {
            return agent == Agent::claude ? RateLimitStore::claudeWindow(claudeProjects)
                                          : RateLimitStore::codexWindow(codexSessions);
        });
        if (window) snapshot.windows.emplace(agent, std::move(*window));
    }
    snapshot.sessions = std::forward<Discover>(discover)();
    snapshot.installs = std::forward<Probe>(probe)();
    return snapshot;
}

}  // namespace

MachineSnapshot MachineSnapshot::read(std::size_t sessionLimit) {
    // Without a home an agent has no directory: an empty path names nothing that opens.
    return assemble(
        AgentRoots::claudeProjects().value_or(std::filesystem::path()),
        AgentRoots::codexSessions().value_or(std::filesystem::path()),
        [&] { return SessionDiscovery::discover(sessionLimit); },
        [] { return InstallState::probe(); });
}

MachineSnapshot MachineSnapshot::read(const Sources& sources) {
    return assemble(
        sources.claudeProjects, sources.codexSessions,
        [&] {
            return SessionDiscovery::discover(sources.sessionLimit, sources.codexRoots,
                                              sources.claudeRoots, sources.now);
        },
        [&] {
            return InstallState::probe(sources.installPaths,
                                       sources.forceMissing
                                           ? std::optional<std::string_view>(*sources.forceMissing)
                                           : std::nullopt);
        });
}

}  // namespace wren
