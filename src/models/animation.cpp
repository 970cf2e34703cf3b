#include "models/animation.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <numbers>
#include <utility>

namespace wren::anim {
namespace {

// About one frame at 60 Hz.
constexpr int kFrameIntervalMs = 16;
// A frame this close to a curve's end counts as the end, so start + delay + duration lands on the
// target exactly despite rounding (a microsecond is still above a double's step at months of
// steady_clock uptime).
constexpr double kTimeSlack = 1e-6;
// Damping fractions this close to 1 take the critical solution: the other two lose precision
// near it, and the difference is far below a pixel.
constexpr double kCriticalBand = 1e-6;
// A spring has settled once its amplitude is this fraction of the one it started with.
constexpr double kSettleFraction = 1e-3;
// Floor for that starting amplitude, so a spring that starts at rest on its target is done.
constexpr double kTinyAmplitude = 1e-9;

double clamp01(double v) {
    return v > 0 ? (v < 1 ? v : 1) : 0;  // NaN becomes 0
}

// One axis of a Bézier from 0 to 1 with inner control points p1, p2: a t³ + b t² + c t.
struct Axis {
    double a, b, c;
    double at(double t) const { return ((a * t + b) * t + c) * t; }
    double slope(double t) const { return (3 * a * t + 2 * b) * t + c; }
};

Axis axis(double p1, double p2) {
    const double c = 3 * p1, b = 3 * (p2 - p1) - c;
    return {1 - c - b, b, c};
}

// With both x control points in 0…1, x(t) never decreases, so the root is bracketed: Newton
// converges fast where the slope is healthy, and bisection takes over where it is flat (the
// ends of ease curves) or Newton would leave the bracket.
double solveParameter(const Axis& xs, double x) {
    double lo = 0, hi = 1, t = x;
    for (int i = 0; i < 64; ++i) {
        const double error = xs.at(t) - x;
        if (std::abs(error) < 1e-12) break;
        (error > 0 ? hi : lo) = t;
        const double slope = xs.slope(t);
        const double next = t - error / slope;
        t = slope > 0 && next > lo && next < hi ? next : (lo + hi) / 2;
    }
    return t;
}

// dy/dx of the curve at time fraction x in (0, 1).
double curveSlope(const Curve& curve, double x) {
    const Axis xs = axis(clamp01(curve.x1), clamp01(curve.x2));
    // Ease curves start or end with zero speed on both axes; just inside, the ratio is sound.
    const double t = std::clamp(solveParameter(xs, x), 1e-6, 1 - 1e-6);
    const double dx = xs.slope(t);
    return dx > 1e-12 ? axis(curve.y1, curve.y2).slope(t) / dx : 0;
}

// Displacement from the target and velocity of a spring.
struct Phase {
    double x, v;
};

double angularFrequency(const Spring& s) {
    return 2 * std::numbers::pi / s.response;
}

// The closed-form solution of x'' + c x' + k x = 0 from (x0, v0), t seconds later.
Phase springPhase(const Spring& s, double x0, double v0, double t) {
    const double w = angularFrequency(s), z = s.dampingFraction;
    if (std::abs(z - 1) < kCriticalBand) {
        const double e = std::exp(-w * t), b = v0 + w * x0;
        return {e * (x0 + b * t), e * (v0 - w * b * t)};
    }
    if (z < 1) {
        const double a = z * w, wd = w * std::sqrt(1 - z * z), e = std::exp(-a * t);
        const double cs = std::cos(wd * t), sn = std::sin(wd * t);
        return {e * (x0 * cs + (v0 + a * x0) / wd * sn),
                e * (v0 * cs - (a * v0 + w * w * x0) / wd * sn)};
    }
    const double root = w * std::sqrt(z * z - 1);
    const double r1 = -z * w + root, r2 = -z * w - root;
    const double c1 = (v0 - r2 * x0) / (r1 - r2), c2 = x0 - c1;
    const double e1 = std::exp(r1 * t), e2 = std::exp(r2 * t);
    return {c1 * e1 + c2 * e2, r1 * c1 * e1 + r2 * c2 * e2};
}

// sqrt(x² + (v/ω)²) only ever falls under damping (its square is the oscillator's energy over
// ω²), so a spring that has settled by it never wakes up again.
double amplitude(const Spring& s, Phase p) {
    return std::hypot(p.x, p.v / angularFrequency(s));
}

bool finite(double v) {
    return std::isfinite(v);
}

// Motions that could never finish (or would compute NaN) become jumps.
bool canMove(const Motion& motion) {
    if (const auto* s = std::get_if<Spring>(&motion))
        return finite(s->response) && s->response > 0 && finite(s->dampingFraction) &&
               s->dampingFraction > 0;
    if (const auto* c = std::get_if<Curve>(&motion))
        return finite(c->duration) && c->duration > 0 && finite(c->delay) && finite(c->x1) &&
               finite(c->y1) && finite(c->x2) && finite(c->y2);
    return false;
}

}  // namespace

Curve easeOut(double duration, double delay) {
    return {0, 0, 0.58, 1, duration, delay};
}

Curve easeIn(double duration, double delay) {
    return {0.42, 0, 1, 1, duration, delay};
}

double cubicBezier(const Curve& curve, double x) {
    if (!(x > 0)) return 0;
    if (x >= 1) return 1;
    const double t = solveParameter(axis(clamp01(curve.x1), clamp01(curve.x2)), x);
    return axis(curve.y1, curve.y2).at(t);
}

AnimatedValue::AnimatedValue(double value) : target_(finite(value) ? value : 0) {}

void AnimatedValue::animateTo(double target, const Motion& motion, double now) {
    if (target == target_) return;
    const double from = value(now), velocity = this->velocity(now);
    if (!finite(target) || !finite(now) || !canMove(motion) || !finite(from) || !finite(velocity)) {
        jumpTo(target);
        return;
    }
    motion_ = motion;
    if (auto* curve = std::get_if<Curve>(&motion_)) curve->delay = std::max(curve->delay, 0.0);
    start_ = now;
    from_ = from;
    fromVelocity_ = velocity;
    target_ = target;
    if (const auto* spring = std::get_if<Spring>(&motion_)) {
        const double initial = amplitude(*spring, {from - target, velocity});
        settleTolerance_ = kSettleFraction * std::max(initial, kTinyAmplitude);
    }
}

void AnimatedValue::jumpTo(double target) {
    // A non-finite target would poison every later frame; the value lands on its last one.
    if (finite(target)) target_ = target;
    motion_ = kJump;
}

double AnimatedValue::value(double now) const {
    if (!finite(now)) return target_;
    if (const auto* spring = std::get_if<Spring>(&motion_)) {
        const Phase p =
            springPhase(*spring, from_ - target_, fromVelocity_, std::max(now - start_, 0.0));
        return amplitude(*spring, p) <= settleTolerance_ ? target_ : target_ + p.x;
    }
    if (const auto* curve = std::get_if<Curve>(&motion_)) {
        const double elapsed = now - start_ - curve->delay;
        if (elapsed <= 0) return from_;
        if (elapsed >= curve->duration - kTimeSlack) return target_;
        return from_ + (target_ - from_) * cubicBezier(*curve, elapsed / curve->duration);
    }
    return target_;
}

double AnimatedValue::velocity(double now) const {
    if (!finite(now)) return 0;
    if (const auto* spring = std::get_if<Spring>(&motion_)) {
        const Phase p =
            springPhase(*spring, from_ - target_, fromVelocity_, std::max(now - start_, 0.0));
        return amplitude(*spring, p) <= settleTolerance_ ? 0 : p.v;
    }
    if (const auto* curve = std::get_if<Curve>(&motion_)) {
        const double elapsed = now - start_ - curve->delay;
        if (elapsed <= 0 || elapsed >= curve->duration - kTimeSlack) return 0;
        return (target_ - from_) * curveSlope(*curve, elapsed / curve->duration) / curve->duration;
    }
    return 0;
}

bool AnimatedValue::isMoving(double now) const {
    if (!finite(now)) return false;
    if (const auto* spring = std::get_if<Spring>(&motion_)) {
        const Phase p =
            springPhase(*spring, from_ - target_, fromVelocity_, std::max(now - start_, 0.0));
        return amplitude(*spring, p) > settleTolerance_;
    }
    if (const auto* curve = std::get_if<Curve>(&motion_))
        return now - start_ - curve->delay < curve->duration - kTimeSlack;
    return false;
}

Animator& Animator::instance() {
    static Animator animator;
    return animator;
}

Animator::Animator() : timer_(new QTimer(this)) {
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(kFrameIntervalMs);
    connect(timer_, &QTimer::timeout, this, &Animator::advance);
}

double Animator::now() const {
    if (clock_) return clock_();
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Animator::setClock(Clock clock) {
    clock_ = std::move(clock);
}

void Animator::animate(AnimatedValue& value, double target, const Motion& motion) {
    if (disabled_)
        value.jumpTo(target);
    else
        value.animateTo(target, motion, now());
}

void Animator::keepTicking(QObject* owner, Tick tick) {
    if (!owner || !tick) return;
    const auto same = std::find_if(clients_.begin(), clients_.end(),
                                   [owner](const Client& c) { return c.owner == owner; });
    if (same != clients_.end())
        same->tick = std::move(tick);
    else
        clients_.push_back({owner, std::move(tick)});
    if (!timer_->isActive()) timer_->start();
}

void Animator::advance() {
    const double frame = now();
    // Ticks may ask for frames again, for themselves or others. Those requests land in the
    // emptied clients_ and are merged afterwards, a fresh request winning over the old entry.
    std::vector<Client> running;
    running.swap(clients_);
    std::vector<Client> kept;
    for (Client& client : running) {
        if (client.owner && client.tick(frame) && client.owner) kept.push_back(std::move(client));
    }
    for (Client& client : kept) {
        const auto again = std::find_if(clients_.begin(), clients_.end(),
                                        [&](const Client& c) { return c.owner == client.owner; });
        if (again == clients_.end()) continue;
        client.tick = std::move(again->tick);
        clients_.erase(again);
    }
    kept.insert(kept.end(), std::make_move_iterator(clients_.begin()),
                std::make_move_iterator(clients_.end()));
    clients_ = std::move(kept);
    // A tick that called advance() itself may have stopped the timer under us.
    if (clients_.empty())
        timer_->stop();
    else if (!timer_->isActive())
        timer_->start();
}

bool Animator::isTicking() const {
    return timer_->isActive();
}

}  // namespace wren::anim
