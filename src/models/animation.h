#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <variant>
#include <vector>

class QTimer;

namespace wren::anim {

/// A spring: a damped harmonic oscillator of mass 1 with stiffness (2π / response)² and damping
/// coefficient 4π × dampingFraction / response. Below 1 it overshoots, at 1 it is critical.
struct Spring {
    double response = 0.55;
    double dampingFraction = 1;
};

/// A timed curve: a cubic Bézier easing from (0, 0) to (1, 1) through the two control points,
/// run over `duration` seconds after `delay` seconds.
struct Curve {
    double x1 = 0, y1 = 0, x2 = 1, y2 = 1;
    double duration = 0.25;
    double delay = 0;
};

/// How a value moves to a new target: at once, on a spring, or along a timed curve.
using Motion = std::variant<std::monostate, Spring, Curve>;

inline constexpr Motion kJump{};
/// Cubic Bézier (0, 0, 0.58, 1).
Curve easeOut(double duration, double delay = 0);
/// Cubic Bézier (0.42, 0, 1, 1).
Curve easeIn(double duration, double delay = 0);
/// The toolkit's plain default for changes nobody gave an animation: a critically damped spring.
inline constexpr Spring kDefault{0.5, 1};

/// The eased progress (0…1) of a cubic Bézier timing curve at time fraction x (clamped to 0…1).
double cubicBezier(const Curve& curve, double x);

/// One animated scalar. Pure value, no Qt and no clock of its own: every call that depends on
/// time takes `now` (seconds on any monotonic clock). Retargeting starts from where the value is
/// at `now`, and a spring keeps the velocity it had, so nothing jumps.
class AnimatedValue {
  public:
    explicit AnimatedValue(double value = 0);

    /// Moves to `target` with `motion`, starting from value(now) and velocity(now). The same
    /// target again while moving changes nothing (the motion in flight continues).
    void animateTo(double target, const Motion& motion, double now);
    /// Sets value and target at once; stops any motion.
    void jumpTo(double target);
    /// Ends the motion in flight at its target.
    void finish() { jumpTo(target_); }

    double value(double now) const;
    double velocity(double now) const;
    double target() const { return target_; }
    /// True until the motion has reached its target: a curve after delay + duration, a spring
    /// once it is within 0.001 of the distance it started from and nearly at rest.
    bool isMoving(double now) const;

  private:
    double target_;
    Motion motion_;
    double start_ = 0;         // when the motion began
    double from_ = 0;          // value at start_
    double fromVelocity_ = 0;  // velocity at start_ (springs)
    double settleTolerance_ = 0;
};

/// The one frame clock of the island's animations. A view that starts an animation asks for
/// frames with keepTicking(); the animator calls it back on every frame until it says it has
/// stopped moving, and its timer runs only while someone is moving, so an idle island has no
/// timer at all. The clock can be replaced so tests sample animations at exact times, and
/// animations can be switched off so every change lands in its settled state at once.
class Animator final : public QObject {
    Q_OBJECT

  public:
    using Clock = std::function<double()>;
    /// Called on each frame with the frame's time; returns true while it still moves.
    using Tick = std::function<bool(double now)>;

    /// The process's animator (created on first use on the GUI thread).
    static Animator& instance();

    /// Seconds on the animator's clock: steady_clock unless a test replaced it.
    double now() const;
    /// Replaces the clock; an empty function restores steady_clock.
    void setClock(Clock clock);

    /// When true, every animate() lands at its target at once: render mode and most view tests.
    void setDisabled(bool disabled) { disabled_ = disabled; }
    bool isDisabled() const { return disabled_; }

    /// Retargets `value` with `motion` now, or jumps when animations are disabled.
    void animate(AnimatedValue& value, double target, const Motion& motion);

    /// Calls `tick` on every frame while it returns true and `owner` lives. Asking again for
    /// the same owner replaces its tick; starts the frame timer when it is not running.
    void keepTicking(QObject* owner, Tick tick);

    /// Delivers one frame at now(), as the timer would; tests call it after moving the clock.
    void advance();
    /// True while the frame timer runs.
    bool isTicking() const;

  private:
    Animator();

    struct Client {
        QPointer<QObject> owner;
        Tick tick;
    };

    Clock clock_;
    bool disabled_ = false;
    std::vector<Client> clients_;
    QTimer* timer_;
};

}  // namespace wren::anim
