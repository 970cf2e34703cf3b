#pragma once

#include <optional>
#include <string_view>

#include "core/transcripts/instant.h"

namespace wren {

/// What a transcript's newest records say about its last turn. `unknown` whenever they do not
/// say it plainly (an agent version that writes no end mark, an interruption, a slash command):
/// the island never guesses that an agent is busy or done.
enum class TurnState { unknown, open, ended };

/// Which session needs the user: `working` (its turn is open and the transcript was written to
/// within the last minute), `finished` (its last turn ended) or `idle` (neither, or unknown).
enum class Activity { idle, working, finished };

/// How long after the newest record an open turn still counts as working.
inline constexpr double kWorkingSeconds = 60;

/// The activity of a session whose newest record is at `lastActivity`, seen at `now`.
Activity activityOf(TurnState turn, Instant lastActivity, Instant now);

/// "idle", "working" or "finished".
std::string_view activityName(Activity activity);

/// Reads a transcript's turn state record by record, newest first: feed each record's facts
/// until decided() is true, then take state().
class TurnScan {
  public:
    /// Claude: a `system` record with this subtype ("turn_duration", "stop_hook_summary" end a
    /// turn; others say nothing), an assistant message (stop_reason "end_turn" ends the turn, a
    /// tool call keeps it open, anything else cannot tell), or a user record (a prompt or a
    /// tool's result opens the turn; an interruption or a slash command leaves it unknown).
    void claudeSystem(std::string_view subtype);
    void claudeAssistant(std::optional<std::string_view> stopReason, bool asksForTool);
    enum class UserRecord { prompt, toolResult, interruption, localCommand };
    void claudeUser(UserRecord kind);

    /// Codex: an `event_msg` of this payload type, newer than any user message: "task_complete"
    /// ends the turn, "task_started" opens it, "turn_aborted" (an interruption) leaves it
    /// unknown. Once a user message was met, any task event proves that this Codex writes them,
    /// so the turn that message began is open. Codex versions that write none cannot tell.
    void codexEvent(std::string_view type);
    void codexUserMessage() { codexUserSeen_ = true; }

    bool decided() const { return state_.has_value(); }
    TurnState state() const { return state_.value_or(TurnState::unknown); }

  private:
    void decide(TurnState state);

    std::optional<TurnState> state_;
    bool codexUserSeen_ = false;
};

/// Whether a Codex line may hold one of the task events above: a byte test before parsing.
bool mayBeCodexTaskEvent(std::string_view line);

}  // namespace wren
