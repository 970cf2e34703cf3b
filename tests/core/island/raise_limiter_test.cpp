#include "core/island/raise_limiter.h"

#include <gtest/gtest.h>

#include <vector>

namespace wren {
namespace {

// Another window that raises itself whenever the island does: the island's raises spread out
// instead of looping. A window manager that restarts now and then gets an immediate raise.
TEST(RaiseLimiter, RaisesAtOnceButBacksOffWhenPushedBack) {
    struct Step {
        double now;
        double wait;  // expected before the raise; the raise then happens at now + wait
    };
    const std::vector<Step> steps = {
        {100.0, 0.0},    // the first raise is immediate
        {100.01, 0.24},  // covered again at once: 0.25 s after it
        {100.3, 0.45},   // and again: 0.5 s after that one (at 100.25)
        {101.0, 0.75},   // 1 s after 100.75
        {101.75, 2.0},   // 2 s
        {104.0, 3.75},   // 4 s after 103.75, though needed only a moment later
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
    // Needed again only well after it was allowed: not pushed back, so at once, and the next
    // one waits the first wait only.
    now += RaiseLimiter::kLongestWait + RaiseLimiter::kPushedBack + 0.1;
    EXPECT_EQ(limiter.waitBeforeRaise(now), 0.0);
    limiter.raised(now);
    EXPECT_NEAR(limiter.waitBeforeRaise(now), RaiseLimiter::kFirstWait, 1e-9);
    // Restarts of a window manager a few seconds apart each get their raise at once.
    for (int i = 0; i < 5; ++i) {
        now += 2.0;
        EXPECT_EQ(limiter.waitBeforeRaise(now), 0.0);
        limiter.raised(now);
    }
}

}  // namespace
}  // namespace wren
