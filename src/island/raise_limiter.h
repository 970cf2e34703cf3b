#pragma once

namespace wren {

/// When the island may raise itself above windows that came over it. The first raise happens
/// at once; while raises keep coming, each must wait twice as long as the one before (from
/// kFirstWait up to kLongestWait), so another window that also insists on being on top never
/// locks the two into a raise loop. A quiet spell of kQuiet since the last raise starts over.
/// Time is seconds on any monotonic clock.
class RaiseLimiter {
  public:
    static constexpr double kFirstWait = 0.25;
    static constexpr double kLongestWait = 30.0;
    static constexpr double kQuiet = 2 * kLongestWait;

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
