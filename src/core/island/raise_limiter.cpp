#include "core/island/raise_limiter.h"

#include <algorithm>

namespace wren {

double RaiseLimiter::waitBeforeRaise(double now) const {
    if (!raisedBefore_) return 0;
    return std::max(0.0, lastRaise_ + wait_ - now);
}

void RaiseLimiter::raised(double now) {
    const bool pushedBack = raisedBefore_ && now - lastRaise_ < wait_ + kPushedBack;
    wait_ = pushedBack ? std::min(wait_ * 2, kLongestWait) : kFirstWait;
    raisedBefore_ = true;
    lastRaise_ = now;
}

}  // namespace wren
