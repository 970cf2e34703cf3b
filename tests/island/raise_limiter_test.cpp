#include "island/raise_limiter.h"

#include <gtest/gtest.h>

#include <vector>

namespace wren {
namespace {

// Another window that raises itself whenever the island does: the island's raises spread out
// instead of looping, and a quiet spell starts over.
TEST(RaiseLimiter, RaisesAtOnceThenBacksOffWhileRaisesKeepComing) {
    struct Step {
        double now;
        double wait;  // expected before the raise; the raise then happens at now + wait
    };
    const std::vector<Step> steps = {
        {100.0, 0.0},    // the first raise is immediate
        {100.01, 0.24},  // then 0.25 s after it
        {100.3, 0.45},   // then 0.5 s after that one (at 100.25)
        {101.0, 0.75},   // 1 s after 100.75
        {101.75, 2.0},   // 2 s
        {103.75, 4.0},   // 4 s
    };
    RaiseLimiter limiter;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.now);
        EXPECT_NEAR(limiter.waitBeforeRaise(step.now), step.wait, 1e-9);
        limiter.raised(step.now + step.wait);
    }
    // Doubling stops at the longest wait.
    double now = 107.75;
    for (int i = 0; i < 10; ++i) {
        now += limiter.waitBeforeRaise(now);
        limiter.raised(now);
    }
    EXPECT_NEAR(limiter.waitBeforeRaise(now), RaiseLimiter::kLongestWait, 1e-9);
    // Quiet for long enough: immediate again, and the next one waits the first wait only.
    now += RaiseLimiter::kQuiet + 1;
    EXPECT_EQ(limiter.waitBeforeRaise(now), 0.0);
    limiter.raised(now);
    EXPECT_NEAR(limiter.waitBeforeRaise(now), RaiseLimiter::kFirstWait, 1e-9);
}

}  // namespace
}  // namespace wren
