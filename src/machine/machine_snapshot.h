#pragma once

#include <map>
#include <vector>

#include "machine/install_state.h"
#include "machine/rate_limits.h"
#include "transcripts/session_summary.h"

namespace wren {

/// Everything the island shows about the machine, read in one call. A plain value.
struct MachineSnapshot {
    std::vector<SessionSummary> sessions;  // at most 8, newest first
    std::map<Agent, RateWindow> windows;
    InstallState installs;

    /// Rate limits of both agents, discovery (limit 8), install probes. Never fails.
    static MachineSnapshot read();
};

}  // namespace wren
