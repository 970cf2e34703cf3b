#include "core/sessions/token_format.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace wren::TokenFormat {

std::string shortForm(std::int64_t tokens) {
    if (tokens >= 1'000'000) {
        const double millions = static_cast<double>(tokens) / 1'000'000.0;
        // At most ~9.2e12 millions, so the whole value always fits an int64.
        if (millions == std::round(millions)) {
            return std::to_string(static_cast<std::int64_t>(millions)) + "M";
        }
        char text[48];
        std::snprintf(text, sizeof text, "%.1fM", millions);
        return text;
    }
    if (tokens < 1000) return std::to_string(tokens);
    return std::to_string(tokens / 1000) + "k";
}

std::string duration(double seconds) {
    // Casting a double outside the int64 range is undefined, so clamp before truncating.
    constexpr double kLimit = 9.2e18;
    std::int64_t s = 0;
    if (seconds >= kLimit) {
        s = std::numeric_limits<std::int64_t>::max();
    } else if (seconds > 0) {
        s = static_cast<std::int64_t>(seconds);
    }
    constexpr std::int64_t kDay = 86'400;
    constexpr std::int64_t kHour = 3600;
    if (s >= kDay) {
        return std::to_string(s / kDay) + "d " + std::to_string(s % kDay / kHour) + "h";
    }
    if (s % kDay >= kHour) {
        return std::to_string(s % kDay / kHour) + "h " + std::to_string(s % kHour / 60) + "m";
    }
    return std::to_string(s % kHour / 60) + "m";
}

}  // namespace wren::TokenFormat
