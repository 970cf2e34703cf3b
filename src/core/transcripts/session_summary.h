#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/transcripts/activity.h"
#include "core/transcripts/agent.h"
#include "core/transcripts/colour.h"
#include "core/transcripts/instant.h"

namespace wren {

/// One labelled, coloured share of a session's context, in tokens.
struct ContextSegment {
    std::string id;     // "useful", "stale", "repeat" or "dead"
    std::string label;  // "Useful", "Stale reads", "Repeats" or "Dead"
    std::int64_t tokens = 0;
    Rgb color;

    static constexpr Rgb usefulColor = Palette::teal;
    static constexpr Rgb staleColor{0.92, 0.72, 0.35};
    static constexpr Rgb repeatColor{0.85, 0.45, 0.45};
    static constexpr Rgb deadColor{0.55, 0.52, 0.60};
};

/// One agent session as read from its transcript. A plain value, freely copied between threads.
struct SessionSummary {
    std::string id;        // idPrefix(agent) + nativeID
    std::string nativeID;  // the agent's own session id, normally a UUID
    Agent agent = Agent::claude;
    std::string project;  // last component of the working directory, or "—"
    Instant lastActivity;
    std::optional<std::string> lastUserMessage;
    std::int64_t turns = 0;
    std::optional<std::int64_t> contextWindow;
    std::optional<std::int64_t> reportedTokens;
    std::vector<ContextSegment> segments;
    bool isMeasured = false;
    // The full working directory as the transcript gave it; the terminal fallback resumes there.
    std::optional<std::string> workingDirectory;
    // What the newest records say about the last turn; activityOf() turns it into the state.
    TurnState turn = TurnState::unknown;

    /// The reported count, or the sum of the segments (saturating, never overflowing).
    std::int64_t totalTokens() const;
    /// The useful share in whole percent; absent without segments or without a positive total.
    std::optional<std::int64_t> usefulPct() const;
    /// "—", or the percentage with a "~" in front when it is only an estimate.
    std::string scoreLabel() const;
    /// The signal colour of the useful share, with its opacity (cream at 0.4 when unknown).
    struct Tint {
        Rgb color;
        double opacity = 1;
    };
    Tint tint() const;

    /// Four fixed sessions shown while no real one is known, dated from the moment of first use.
    static const std::vector<SessionSummary>& demo();
    /// The same sessions dated from `now`: what demo() builds, for callers with their own clock.
    static std::vector<SessionSummary> demo(Instant now);
};

/// "—" (U+2014): a missing project or score.
inline constexpr const char* kEmDash = "\u2014";

}  // namespace wren

namespace wren {

/// Newest activity first; equal instants by ascending id. A strict weak order, so sorts are total.
inline bool newestFirst(const SessionSummary& a, const SessionSummary& b) {
    if (a.lastActivity != b.lastActivity) return a.lastActivity > b.lastActivity;
    return a.id < b.id;
}

}  // namespace wren
