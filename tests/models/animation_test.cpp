#include "models/animation.h"

#include <gtest/gtest.h>

#include <QObject>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace wren::anim {
namespace {

// One axis of a Bézier from 0 to 1 in Bernstein form, independent of the solver's own form.
double bernstein(double p1, double p2, double t) {
    const double u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

TEST(CubicBezier, FollowsTheCurveAndClampsTime) {
    const Curve curves[] = {
        easeOut(1), easeIn(1), {0.42, 0, 0.58, 1}, {0.34, 1.56, 0.64, 1}, {0, 0, 0, 1}};
    for (const Curve& c : curves) {
        for (const double x : {-0.5, 0.0}) EXPECT_EQ(cubicBezier(c, x), 0);
        for (const double x : {1.0, 1.5}) EXPECT_EQ(cubicBezier(c, x), 1);
        for (double t = 0.01; t < 1; t += 0.037)
            EXPECT_NEAR(cubicBezier(c, bernstein(c.x1, c.x2, t)), bernstein(c.y1, c.y2, t), 1e-9);
    }
}

TEST(CubicBezier, EaseInMirrorsEaseOutWhichLeadsLinear) {
    double last = 0;
    for (double x = 0; x <= 1; x += 0.01) {
        const double out = cubicBezier(easeOut(1), x);
        EXPECT_NEAR(cubicBezier(easeIn(1), x), 1 - cubicBezier(easeOut(1), 1 - x), 1e-9);
        EXPECT_GE(out, last);
        EXPECT_GE(out, x);
        last = out;
    }
}

// x'' = -k (x - target) - c x', stepped with small RK4 steps.
struct Oscillator {
    double k, c, x, v;
    void run(double target, double seconds) {
        const int steps = static_cast<int>(std::lround(seconds / 1e-4));
        const double h = seconds / steps;
        const auto acc = [&](double p, double s) { return -k * (p - target) - c * s; };
        for (int i = 0; i < steps; ++i) {
            const double k1x = v, k1v = acc(x, v);
            const double k2x = v + h / 2 * k1v, k2v = acc(x + h / 2 * k1x, v + h / 2 * k1v);
            const double k3x = v + h / 2 * k2v, k3v = acc(x + h / 2 * k2x, v + h / 2 * k2v);
            const double k4x = v + h * k3v, k4v = acc(x + h * k3x, v + h * k3v);
            x += h / 6 * (k1x + 2 * k2x + 2 * k3x + k4x);
            v += h / 6 * (k1v + 2 * k2v + 2 * k3v + k4v);
        }
    }
};

TEST(Spring, MatchesAnIntegratedOscillatorAcrossARetarget) {
    for (const double damping : {0.74, 1.0, 1.5}) {
        SCOPED_TRACE(damping);
        const Spring spring{0.5, damping};
        const double w = 2 * std::numbers::pi / spring.response;
        Oscillator reference{w * w, 2 * damping * w, 10, 0};
        AnimatedValue value(10);
        double now = 3, target = 110;
        value.animateTo(target, spring, now);
        const auto check = [&](double step) {
            reference.run(target, step);
            now += step;
            EXPECT_NEAR(value.value(now), reference.x, 1e-6) << "at " << now;
            EXPECT_NEAR(value.velocity(now), reference.v, 1e-5) << "at " << now;
        };
        check(0.05);
        check(0.05);
        value.animateTo(target = -40, spring, now);  // turned around while moving fast
        for (const double step : {0.1, 0.15, 0.25}) check(step);
        EXPECT_TRUE(value.isMoving(now));
        EXPECT_FALSE(value.isMoving(now + 10));
        EXPECT_EQ(value.value(now + 10), -40);
        EXPECT_EQ(value.velocity(now + 10), 0);
    }
}

TEST(AnimatedValue, RetargetingFromACurveKeepsValueAndVelocity) {
    AnimatedValue value(0);
    value.animateTo(100, easeOut(0.4), 0);
    const double at = 0.1, before = value.value(at), speed = value.velocity(at);
    EXPECT_NEAR(speed, (value.value(at + 1e-6) - value.value(at - 1e-6)) / 2e-6, 1e-3);
    value.animateTo(100, kJump, at);  // same target: the curve carries on
    EXPECT_EQ(value.value(at), before);
    EXPECT_TRUE(value.isMoving(at));
    value.animateTo(0, Spring{0.5, 1}, at);
    EXPECT_DOUBLE_EQ(value.value(at), before);
    EXPECT_DOUBLE_EQ(value.velocity(at), speed);
    EXPECT_GT(value.value(at + 0.01), before);  // momentum first, then back down
}

TEST(AnimatedValue, DelayedCurveHoldsThenLandsExactly) {
    AnimatedValue opacity(0);
    opacity.animateTo(1, easeOut(0.2, 0.09), 0);
    for (const double t : {0.0, 0.05, 0.09}) {
        EXPECT_EQ(opacity.value(t), 0);
        EXPECT_EQ(opacity.velocity(t), 0);
        EXPECT_TRUE(opacity.isMoving(t));
    }
    EXPECT_NEAR(opacity.value(0.19), cubicBezier(easeOut(1), 0.5), 1e-9);
    EXPECT_TRUE(opacity.isMoving(0.289));
    EXPECT_EQ(opacity.value(0.29), 1);
    EXPECT_FALSE(opacity.isMoving(0.29));
}

TEST(AnimatedValue, BadInputsJumpInsteadOfPoisoning) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double target;
        Motion motion;
        double now;
        double lands;
    } cases[] = {
        {5, Spring{}, nan, 5},   {inf, Spring{}, 0, 1},          {nan, easeOut(0.2), 0, 1},
        {5, Spring{0, 1}, 0, 5}, {5, Spring{0.5, 0}, 0, 5},      {5, easeOut(0), 0, 5},
        {5, kJump, 0, 5},        {5, Curve{nan, 0, 1, 1}, 0, 5},
    };
    for (const auto& c : cases) {
        AnimatedValue value(1);
        value.animateTo(c.target, c.motion, c.now);
        EXPECT_FALSE(value.isMoving(0));
        EXPECT_EQ(value.value(0), c.lands);
        EXPECT_EQ(value.value(nan), c.lands);
        value.animateTo(7, Spring{}, 0);
        EXPECT_TRUE(std::isfinite(value.value(0.1)));
    }
}

class AnimatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        animator.setClock([this] { return clock; });
    }
    void TearDown() override {
        animator.setClock({});
        animator.setDisabled(false);
    }
    Animator& animator = Animator::instance();
    double clock = 100;
};

TEST_F(AnimatorTest, TimerRunsOnlyWhileSomeoneMoves) {
    EXPECT_FALSE(animator.isTicking());
    QObject view;
    auto closing = std::make_unique<QObject>();
    AnimatedValue fade, grow;
    animator.animate(fade, 1, easeOut(0.2));
    animator.animate(grow, 1, Spring{});
    EXPECT_FALSE(animator.isTicking());  // animate() alone asks for no frames
    std::vector<double> frames;
    animator.keepTicking(&view, [&](double now) {
        frames.push_back(now);
        return fade.isMoving(now);
    });
    animator.keepTicking(closing.get(), [&](double now) { return grow.isMoving(now); });
    EXPECT_TRUE(animator.isTicking());
    clock = 100.1;
    animator.advance();
    clock = 100.2;
    animator.advance();  // the fade lands; the spring still moves
    EXPECT_TRUE(animator.isTicking());
    closing.reset();
    clock = 100.25;
    animator.advance();
    EXPECT_FALSE(animator.isTicking());
    EXPECT_EQ(frames, (std::vector<double>{100.1, 100.2}));
}

TEST_F(AnimatorTest, TicksMayAskForFramesFromInsideAFrame) {
    QObject first, second;
    std::vector<std::string> calls;
    animator.keepTicking(&first, [&](double) { return calls.emplace_back("replaced"), true; });
    animator.keepTicking(&first, [&](double) {
        calls.emplace_back("first");
        animator.keepTicking(&first,
                             [&](double) { return calls.emplace_back("first again"), false; });
        animator.keepTicking(&second, [&](double) { return calls.emplace_back("second"), false; });
        return true;
    });
    animator.advance();
    EXPECT_TRUE(animator.isTicking());
    animator.advance();
    EXPECT_FALSE(animator.isTicking());
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "first again", "second"}));
}

TEST_F(AnimatorTest, DisabledAnimationsLandAtOnce) {
    AnimatedValue value(0);
    animator.setDisabled(true);
    animator.animate(value, 8, Spring{});
    EXPECT_FALSE(value.isMoving(clock));
    EXPECT_EQ(value.value(clock), 8);
}

}  // namespace
}  // namespace wren::anim
