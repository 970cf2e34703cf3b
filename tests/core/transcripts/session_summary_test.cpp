#include "core/transcripts/session_summary.h"

#include <gtest/gtest.h>

namespace wren {
namespace {

ContextSegment seg(const char* id, std::int64_t tokens) { return {id, id, tokens, Rgb{}}; }

TEST(SessionSummary, DerivedValues) {
    struct Case {
        const char* name;
        std::optional<std::int64_t> reported;
        std::vector<ContextSegment> segments;
        bool measured;
        std::int64_t total;
        std::optional<std::int64_t> pct;
        const char* label;
    };
    const Case cases[] = {
        {"reported wins", 100000, {seg("useful", 90000)}, false, 100000, 90, "~90%"},
        {"sum of segments", std::nullopt, {seg("useful", 60000), seg("stale", 30000)}, false, 90000, 67, "~67%"},
        {"demo-like rounding", std::nullopt, {seg("useful", 212000), seg("stale", 61000), seg("repeat", 39000)}, false, 312000, 68, "~68%"},
        {"measured has no tilde", std::nullopt, {seg("useful", 1), seg("dead", 1)}, true, 2, 50, "50%"},
        {"no segments", 5000, {}, false, 5000, std::nullopt, "\u2014"},
        {"no useful entry", std::nullopt, {seg("stale", 10)}, false, 10, 0, "~0%"},
        {"zero total", 0, {seg("useful", 10)}, false, 0, std::nullopt, "\u2014"},
        {"negative total", -4, {seg("useful", 10)}, false, -4, std::nullopt, "\u2014"},
        {"half rounds away from zero", std::nullopt, {seg("useful", 1), seg("stale", 7)}, false, 8, 13, "~13%"},
        {"segments overflow saturates", std::nullopt, {seg("useful", INT64_MAX), seg("stale", 5)}, false, INT64_MAX, 100, "~100%"},
    };
    for (const Case& c : cases) {
        SessionSummary s;
        s.reportedTokens = c.reported;
        s.segments = c.segments;
        s.isMeasured = c.measured;
        EXPECT_EQ(s.totalTokens(), c.total) << c.name;
        EXPECT_EQ(s.usefulPct(), c.pct) << c.name;
        EXPECT_EQ(s.scoreLabel(), c.label) << c.name;
    }
}

TEST(SessionSummary, TintFollowsUsefulShare) {
    struct Case {
        std::int64_t useful, rest;
        Rgb color;
        double opacity;
    };
    const Case cases[] = {
        {19, 81, {0.90, 0.40, 0.36}, 1}, {20, 80, {0.92, 0.72, 0.35}, 1},
        {39, 61, {0.92, 0.72, 0.35}, 1}, {40, 60, Palette::teal, 1},
    };
    for (const Case& c : cases) {
        SessionSummary s;
        s.segments = {seg("useful", c.useful), seg("stale", c.rest)};
        EXPECT_EQ(s.tint().color, c.color) << c.useful;
    }
    EXPECT_EQ(SessionSummary{}.tint().color, Palette::cream);
    EXPECT_EQ(SessionSummary{}.tint().opacity, 0.4);
}

TEST(SessionSummary, DemoSessions) {
    const Instant now = instantFromUnix(1'800'000'000);
    const auto demo = SessionSummary::demo(now);
    ASSERT_EQ(demo.size(), 4u);
    EXPECT_EQ(demo[0].id, "claude:wrenland");
    EXPECT_EQ(demo[0].agent, Agent::claude);
    EXPECT_EQ(demo[0].lastActivity, now - Seconds(260));
    EXPECT_EQ(demo[0].totalTokens(), 312000);
    EXPECT_EQ(demo[0].scoreLabel(), "~68%");
    EXPECT_EQ(demo[1].id, "codex:wrenmem-chrome");
    EXPECT_EQ(demo[1].turns, 61);
    EXPECT_EQ(demo[3].project, "WebPageReactVersion");
    EXPECT_EQ(demo[3].lastActivity, now - Seconds(6240));
    for (const auto& s : demo) {
        EXPECT_FALSE(s.isMeasured);
        EXPECT_FALSE(s.reportedTokens);
        EXPECT_FALSE(s.contextWindow);
        ASSERT_EQ(s.segments.size(), 3u);
        EXPECT_EQ(s.segments[1].label, "Stale reads");
        EXPECT_EQ(s.segments[2].color, ContextSegment::repeatColor);
    }
    // The shared list is built once and then stays.
    EXPECT_EQ(&SessionSummary::demo(), &SessionSummary::demo());
}

TEST(Agent, RawValues) {
    EXPECT_EQ(agentFromRawValue("Claude"), Agent::claude);
    EXPECT_EQ(agentFromRawValue("Codex"), Agent::codex);
    EXPECT_EQ(agentFromRawValue("claude"), std::nullopt);
    EXPECT_EQ(agentFromRawValue(""), std::nullopt);
    EXPECT_EQ(rawValue(kAllAgents[0]), "Claude");
    EXPECT_EQ(idPrefix(Agent::codex), "codex:");
}

}  // namespace
}  // namespace wren
