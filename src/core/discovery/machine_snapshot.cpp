#include "core/discovery/machine_snapshot.h"

#include <cstdlib>
#include <utility>

#include "core/discovery/agent_roots.h"
#include "core/discovery/home_directory.h"
#include "core/discovery/profile.h"
#include "core/discovery/session_discovery.h"

namespace wren {
namespace {

// The one order every snapshot follows: Claude's and Codex's rate limits, the sessions, the
// install probes.
struct QuotaSources {
    std::filesystem::path claudeProjects;
    std::filesystem::path codexSessions;
    std::vector<std::filesystem::path> claudeConfigFiles;
    Instant now;
};

// The agent's window as its transcript states it and every window still current. Claude's
// transcripts carry none in practice, so its cached figures stand in, the tightest one first.
std::pair<std::optional<RateWindow>, std::vector<RateWindow>> quotaOf(Agent agent,
                                                                      const QuotaSources& from) {
    using namespace RateLimitStore;
    if (agent == Agent::codex) {
        CodexLimits limits = codexLimits(from.codexSessions);
        std::vector<RateWindow> all;
        for (auto& window : {limits.primary, limits.secondary}) {
            if (window) all.push_back(*window);
        }
        return {std::move(limits.primary), currentWindows(std::move(all), from.now)};
    }
    if (auto window = claudeWindow(from.claudeProjects)) {
        return {window, currentWindows({*window}, from.now)};
    }
    auto cached = currentWindows(claudeCachedWindows(from.claudeConfigFiles), from.now);
    return {bindingWindow(cached), std::move(cached)};
}

template <class Discover, class Probe>
MachineSnapshot assemble(const QuotaSources& quotas, Discover&& discover, Probe&& probe) {
    MachineSnapshot snapshot;
    for (const Agent agent : kAllAgents) {
        auto [window, all] = Profile::measure("rateLimits", [&] { return quotaOf(agent, quotas); });
        if (window) snapshot.windows.emplace(agent, std::move(*window));
        if (!all.empty()) snapshot.quotas.emplace(agent, std::move(all));
    }
    snapshot.sessions = std::forward<Discover>(discover)();
    snapshot.installs = std::forward<Probe>(probe)();
    return snapshot;
}

}  // namespace

MachineSnapshot MachineSnapshot::read(std::size_t sessionLimit) {
    // Without a home an agent has no directory: an empty path names nothing that opens.
    static const std::vector<std::filesystem::path> configFiles =
        RateLimitStore::claudeConfigFiles(std::getenv("CLAUDE_CONFIG_DIR"), userHome());
    return assemble(
        QuotaSources{AgentRoots::claudeProjects().value_or(std::filesystem::path()),
                     AgentRoots::codexSessions().value_or(std::filesystem::path()), configFiles,
                     systemNow()},
        [&] { return SessionDiscovery::discover(sessionLimit); },
        [] { return InstallState::probe(); });
}

MachineSnapshot MachineSnapshot::read(const Sources& sources) {
    return assemble(
        QuotaSources{sources.claudeProjects, sources.codexSessions, sources.claudeConfigFiles,
                     sources.now},
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
