#include "core/transcripts/activity.h"

namespace wren {

Activity activityOf(TurnState turn, Instant lastActivity, Instant now) {
    switch (turn) {
        case TurnState::ended:
            return Activity::finished;
        case TurnState::open:
            // A record stamped after our clock (skew) is as fresh as one stamped now.
            return (now - lastActivity).count() <= kWorkingSeconds ? Activity::working
                                                                   : Activity::idle;
        case TurnState::unknown:
            break;
    }
    return Activity::idle;
}

std::string_view activityName(Activity activity) {
    switch (activity) {
        case Activity::working:
            return "working";
        case Activity::finished:
            return "finished";
        case Activity::idle:
            break;
    }
    return "idle";
}

void TurnScan::decide(TurnState state) {
    if (!state_) state_ = state;
}

void TurnScan::claudeSystem(std::string_view subtype) {
    if (subtype == "turn_duration" || subtype == "stop_hook_summary") decide(TurnState::ended);
}

void TurnScan::claudeAssistant(std::optional<std::string_view> stopReason, bool asksForTool) {
    if (stopReason == "end_turn") {
        decide(TurnState::ended);
    } else if (asksForTool || stopReason == "tool_use") {
        decide(TurnState::open);
    } else {
        // Claude Code 2.x streams each block with a null stop_reason: a text block alone does
        // not say whether more follows.
        decide(TurnState::unknown);
    }
}

void TurnScan::claudeUser(UserRecord kind) {
    switch (kind) {
        case UserRecord::prompt:
        case UserRecord::toolResult:
            decide(TurnState::open);
            break;
        case UserRecord::interruption:
        case UserRecord::localCommand:
            decide(TurnState::unknown);
            break;
    }
}

void TurnScan::codexEvent(std::string_view type) {
    const bool taskEvent =
        type == "task_complete" || type == "task_started" || type == "turn_aborted";
    if (!taskEvent) return;
    if (codexUserSeen_) {
        decide(TurnState::open);
    } else if (type == "task_complete") {
        decide(TurnState::ended);
    } else if (type == "task_started") {
        decide(TurnState::open);
    } else if (type == "turn_aborted") {
        decide(TurnState::unknown);
    }
}

bool mayBeCodexTaskEvent(std::string_view line) {
    return line.find("\"task_") != std::string_view::npos ||
           line.find("\"turn_aborted\"") != std::string_view::npos;
}

}  // namespace wren
