#include "core/discovery/refresh_pacer.h"

#include <algorithm>

namespace wren {

std::optional<double> RefreshPacer::changed(double now) {
    pending_ = true;
    if (scheduled_) return std::nullopt;
    scheduled_ = true;
    if (!lastStart_) return 0.0;
    return std::max(0.0, *lastStart_ + gap_ - now);
}

bool RefreshPacer::due(double now) {
    scheduled_ = false;
    if (!pending_) return false;
    if (lastStart_ && now < *lastStart_ + gap_) return false;  // early: the caller reschedules
    pending_ = false;
    lastStart_ = now;
    return true;
}

}  // namespace wren
