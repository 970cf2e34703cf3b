#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/discovery/install_state.h"
#include "core/discovery/rate_limits.h"
#include "core/transcripts/instant.h"
#include "core/transcripts/session_summary.h"

namespace wren {

/// Everything the island shows about the machine, read in one call. A plain value.
struct MachineSnapshot {
    /// How many sessions the island shows.
    static constexpr std::size_t kSessionLimit = 8;

    std::vector<SessionSummary> sessions;  // at most the limit read with (8), newest first
    std::map<Agent, RateWindow> windows;
    // Every quota window known of each agent and still current (Codex's both windows, Claude's
    // cached ones), in the agent's order; an agent with none has no entry.
    std::map<Agent, std::vector<RateWindow>> quotas;
    InstallState installs;

    /// Where one read looks and what it takes as now; read() uses the process's own.
    struct Sources {
        std::filesystem::path claudeProjects;
        std::filesystem::path codexSessions;
        std::vector<std::filesystem::path> claudeRoots;
        std::vector<std::filesystem::path> codexRoots;
        Instant now;
        InstallPaths installPaths;
        std::optional<std::string> forceMissing;  // WRENISLAND_FORCE_MISSING, absent when unset
        std::size_t sessionLimit = kSessionLimit;
        std::vector<std::filesystem::path> claudeConfigFiles = {};  // where Claude caches quotas
    };

    /// Rate limits of both agents (Claude's from its cache when its transcript has none; the
    /// window that stops the user first stands in `windows`), discovery (at most `sessionLimit`
    /// sessions), install probes. Never fails.
    static MachineSnapshot read(std::size_t sessionLimit = kSessionLimit);
    /// The same over given sources, for tests and tools.
    static MachineSnapshot read(const Sources& sources);
};

}  // namespace wren
