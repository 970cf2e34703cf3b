#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/transcripts/agent.h"
#include "core/transcripts/session_summary.h"

namespace wren {

/// The one-line message a session row shows when an action cannot be carried out, with an
/// optional link after it.
struct Hint {
    std::string text;
    std::string linkTitle;           // empty when there is no link
    std::optional<std::string> url;  // absent when there is no link

    friend bool operator==(const Hint&, const Hint&) = default;
};

/// What a row action does to the row's hint: absent clears it, a value shows that hint. The
/// views only animate the result (clearing with the default animation, showing with ease-out).
using HintChange = std::optional<Hint>;

namespace SessionActions {

/// Where a user without the agent can get it.
std::string_view downloadURL(Agent agent);

/// "Claude not detected" / "Codex not detected", linking to the download page.
Hint notDetected(Agent agent);
/// "Could not reopen that session", without a link.
Hint reopenFailed();
/// What every action of a sample row says instead of acting: it is only a sample.
Hint sampleOnly();
/// The companion pitch with its "Learn more" link; an empty address gives no link at all.
Hint needsWrenMem(std::string_view learnMoreURL);

/// Reopening: with the agent installed, calls `open` and clears the hint when it succeeds or
/// shows reopenFailed() when it does not; without it, shows notDetected() and never calls `open`.
HintChange openSession(const SessionSummary& session, bool agentInstalled,
                       const std::function<bool(const SessionSummary&)>& open);

/// "Start new in": clears the hint when the agent is installed (nothing is launched), else
/// shows notDetected().
HintChange start(Agent agent, bool agentInstalled);

/// "Save memory": clears the hint when the companion is present (nothing is written), else
/// shows needsWrenMem().
HintChange saveMemory(bool wrenMemInstalled, std::string_view learnMoreURL);

}  // namespace SessionActions
}  // namespace wren
