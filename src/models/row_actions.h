#pragma once

#include <QString>
#include <functional>

#include "core/transcripts/agent.h"
#include "core/transcripts/session_summary.h"
#include "core/sessions/session_actions.h"

namespace wren {

/// The whole road from a press on a row's button to the hint the row shows: the view calls one
/// of these with a `done` callback; the action probes the machine (RowActions below), applies
/// the rules (SessionActions), may start a program (SessionOpener), and hands `done` the change
/// of hint. `done` must be safe to call after the row is gone.
struct RowActionHandlers {
    using Done = std::function<void(HintChange)>;
    std::function<void(const SessionSummary&, Done)> open;
    std::function<void(Agent, Done)> start;
    std::function<void(Done)> saveMemory;
    /// The hint's link: handed to the desktop's handler; the hint stays.
    std::function<void(const QString& url)> openLink;

    /// Runs each action on the calling thread and answers at once (tests, pictures).
    static RowActionHandlers immediate();
    /// Runs each action on a worker thread, since asking xdg-mime or starting a terminal can
    /// take up to the external-command timeout, and answers on the GUI thread. For the island.
    static RowActionHandlers inBackground();
};

}  // namespace wren

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
