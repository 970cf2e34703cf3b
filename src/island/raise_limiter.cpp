#include "island/raise_limiter.h"

#include <algorithm>

namespace wren {

double RaiseLimiter::waitBeforeRaise(double now) const {
    if (!raisedBefore_) return 0;
    return std::max(0.0, lastRaise_ + wait_ - now);
}

void RaiseLimiter::raised(double now) {
    const bool inARow = raisedBefore_ && now - lastRaise_ < kQuiet;
    wait_ = inARow ? std::min(wait_ * 2, kLongestWait) : kFirstWait;
    raisedBefore_ = true;
    lastRaise_ = now;
}

}  // namespace wren
