#pragma once

namespace wren {

/// When the island may raise itself above windows that came over it. A raise is allowed at once
/// unless the island is being pushed back: a raise needed again within kPushedBack of the
/// moment the last one was allowed means another window insists on being on top too, and then
/// each wait is twice the one before (from kFirstWait up to kLongestWait), so the two never
/// lock into a raise loop. A window manager restarting now and then is not pushing back.
/// Time is seconds on any monotonic clock.
class RaiseLimiter {
  public:
    static constexpr double kFirstWait = 0.25;
    static constexpr double kLongestWait = 30.0;
    static constexpr double kPushedBack = 1.0;

    /// Seconds from `now` until a raise is allowed; 0 when it is allowed now.
    double waitBeforeRaise(double now) const;
    /// A raise happened at `now`.
    void raised(double now);

  private:
    bool raisedBefore_ = false;
    double lastRaise_ = 0;
    double wait_ = 0;  // after lastRaise_
};

}  // namespace wren
