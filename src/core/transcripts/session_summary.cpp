#include "core/transcripts/session_summary.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/transcripts/saturating.h"

namespace wren {
namespace {

std::int64_t segmentSum(const std::vector<ContextSegment>& segments) {
    std::int64_t sum = 0;
    for (const auto& segment : segments) sum = saturatingAdd(sum, segment.tokens);
    return sum;
}

ContextSegment segment(const char* id, const char* label, std::int64_t tokens, Rgb color) {
    return ContextSegment{id, label, tokens, color};
}

}  // namespace

std::int64_t SessionSummary::totalTokens() const {
    return reportedTokens ? *reportedTokens : segmentSum(segments);
}

std::optional<std::int64_t> SessionSummary::usefulPct() const {
    if (segments.empty()) return std::nullopt;
    const std::int64_t total = totalTokens();
    if (total <= 0) return std::nullopt;
    std::int64_t useful = 0;
    for (const auto& s : segments) {
        if (s.id == "useful") {
            useful = s.tokens;
            break;
        }
    }
    const double pct = static_cast<double>(useful) / static_cast<double>(total) * 100.0;
    // Segments may disagree with a reported total; keep the result representable.
    constexpr double kLimit = 9.0e18;
    return static_cast<std::int64_t>(std::round(std::clamp(pct, -kLimit, kLimit)));
}

std::string SessionSummary::scoreLabel() const {
    const auto pct = usefulPct();
    if (!pct) return kEmDash;
    return (isMeasured ? "" : "~") + std::to_string(*pct) + "%";
}

SessionSummary::Tint SessionSummary::tint() const {
    const auto pct = usefulPct();
    if (!pct) return {Palette::cream, 0.4};
    if (*pct <= 19) return {Rgb{0.90, 0.40, 0.36}, 1};
    if (*pct <= 39) return {Rgb{0.92, 0.72, 0.35}, 1};
    return {Palette::teal, 1};
}

std::vector<SessionSummary> SessionSummary::demo(Instant now) {
    struct Row {
        const char* id;
        const char* nativeID;
        Agent agent;
        const char* project;
        double secondsAgo;
        const char* message;
        std::int64_t turns, useful, stale, repeat;
    };
    static constexpr Row kRows[] = {
        {"claude:wrenland", "00000000-demo-0000-0000-wrenland0001", Agent::claude, "WrenLand", 260,
         "先把首发做顺。你这个版本很好。我觉得你直接把它 push 到一个 GitHub repo 里边", 24, 212000,
         61000, 39000},
        {"codex:wrenmem-chrome", "00000000-demo-0000-0000-wrenmem00002", Agent::codex,
         "WrenMem-Chrome", 1320, "HUD 的 scroll fade 再收一点", 61, 74000, 68000, 38000},
        {"claude:wren-design-system", "00000000-demo-0000-0000-designsys003", Agent::claude,
         "wren-design-system", 3480, "button.md 的 spec 补一下", 12, 79000, 11000, 6000},
        {"codex:webpage-react", "00000000-demo-0000-0000-webpagerc004", Agent::codex,
         "WebPageReactVersion", 6240, "T30 那个 visual 放到第五节右侧", 38, 120000, 58000, 32000},
    };
    std::vector<SessionSummary> sessions;
    sessions.reserve(std::size(kRows));
    for (const Row& row : kRows) {
        SessionSummary s;
        s.id = row.id;
        s.nativeID = row.nativeID;
        s.agent = row.agent;
        s.project = row.project;
        s.lastActivity = now - Seconds(row.secondsAgo);
        s.lastUserMessage = row.message;
        s.turns = row.turns;
        s.segments = {
            segment("useful", "Useful", row.useful, ContextSegment::usefulColor),
            segment("stale", "Stale reads", row.stale, ContextSegment::staleColor),
            segment("repeat", "Repeats", row.repeat, ContextSegment::repeatColor),
        };
        sessions.push_back(std::move(s));
    }
    return sessions;
}

const std::vector<SessionSummary>& SessionSummary::demo() {
    static const std::vector<SessionSummary> sessions = demo(systemNow());
    return sessions;
}

}  // namespace wren
