#include "core/island/notch_metrics.h"

#include <cstdlib>

#include "core/sessions/strict_decimal.h"

namespace wren {

NotchMetrics NotchMetrics::measure(double frameWidth, std::optional<double> leftAreaWidth,
                                   std::optional<double> rightAreaWidth, double safeAreaTop) {
    if (!leftAreaWidth || !rightAreaWidth) return fallback();
    const double width = frameWidth - *leftAreaWidth - *rightAreaWidth;
    const double height = safeAreaTop;
    if (width > 1 && height > 1) return {{width, height}, true};
    return fallback();
}

namespace ScreenChoice {

std::optional<std::int64_t> pinnedScreen() {
    static const std::optional<std::int64_t> pinned = []() -> std::optional<std::int64_t> {
        const char* value = std::getenv("WRENISLAND_SCREEN");
        if (value == nullptr) return std::nullopt;
        return parseStrictDecimal(value);
    }();
    return pinned;
}

std::size_t screenUnderPointer(std::span<const Rect> screens, Point pointer,
                               std::optional<std::int64_t> pinned,
                               std::optional<std::size_t> primary) {
    if (pinned && *pinned >= 0 && static_cast<std::uint64_t>(*pinned) < screens.size()) {
        return static_cast<std::size_t>(*pinned);
    }
    for (std::size_t i = 0; i < screens.size(); ++i) {
        if (screens[i].contains(pointer)) return i;
    }
    if (primary && *primary < screens.size()) return *primary;
    return 0;
}

}  // namespace ScreenChoice
}  // namespace wren
