#pragma once

#include <string>
#include <vector>

#include "core/discovery/machine_snapshot.h"
#include "core/sessions/context_model.h"

namespace wren::testing {

/// A snapshot of just these sessions, and the ids of a list in order: what the widget's model
/// tests feed in and read back.

inline MachineSnapshot snapshotOf(std::vector<SessionSummary> sessions) {
    MachineSnapshot snapshot;
    snapshot.sessions = std::move(sessions);
    return snapshot;
}

inline std::vector<std::string> ids(const SessionList& sessions) {
    std::vector<std::string> out;
    for (const auto& s : sessions) out.push_back(s.id);
    return out;
}

}  // namespace wren::testing
