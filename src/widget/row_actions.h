#pragma once

#include "transcripts/agent.h"
#include "transcripts/session_summary.h"
#include "widget/session_actions.h"

namespace wren::RowActions {

/// The session row's buttons on the real machine: each probes what is installed right now
/// (AgentAvailability, WrenMemPresence) and returns what to do with the row's hint.

/// "Open": reopens through SessionOpener::open when the agent is installed.
HintChange openSession(const SessionSummary& session);
/// "Start new in": only checks that `agent` is installed.
HintChange start(Agent agent);
/// "Save memory": only checks that the companion is present.
HintChange saveMemory();

}  // namespace wren::RowActions
