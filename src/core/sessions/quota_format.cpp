#include "core/sessions/quota_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace wren::QuotaFormat {
namespace {

constexpr std::array<const char*, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string twoDigits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

}  // namespace

std::string length(std::int64_t minutes) {
    if (minutes == RateLimitStore::kWeekMinutes) return "week";
    if (minutes > 0 && minutes % 1440 == 0) return std::to_string(minutes / 1440) + " d";
    if (minutes > 0 && minutes % 60 == 0) return std::to_string(minutes / 60) + " h";
    return std::to_string(minutes) + " min";
}

std::string resets(Instant reset, Instant now, const LocalCalendar& calendar) {
    const auto clock = calendar.wallClock(reset);
    if (!clock) return "resets at an unknown time";
    const std::string time = twoDigits(clock->hour) + ":" + twoDigits(clock->minute);
    const LocalCalendar::Day today = calendar.dayContaining(now);
    if (today.contains(reset)) return "resets " + time;
    if (reset > now && reset < today.start + Seconds(7 * 86400.0)) {
        return std::string("resets ") + kWeekdays[clock->weekday] + " " + time;
    }
    return "resets " + std::to_string(clock->day) + " " + kMonths[clock->month] + " " + time;
}

std::string line(const RateWindow& window, Instant now, const LocalCalendar& calendar) {
    std::string out = length(window.windowMinutes) + ": ";
    const double left = 100 - window.reportedPercent;
    if (std::isfinite(left)) {
        out += std::to_string(static_cast<long long>(std::lround(std::clamp(left, 0.0, 100.0)))) +
               "% left";
    } else {
        out += "unknown";
    }
    if (window.resetsAt) out += " \u00b7 " + resets(*window.resetsAt, now, calendar);
    return out;
}

std::string age(Instant asOf, Instant now) {
    const double seconds = std::max(0.0, (now - asOf).count());
    if (seconds < 60) return "as of just now";
    std::string amount;
    if (seconds < 3600) {
        amount = std::to_string(static_cast<long long>(seconds / 60)) + " min";
    } else if (seconds < 86400) {
        amount = std::to_string(static_cast<long long>(seconds / 3600)) + " h";
    } else {
        amount = std::to_string(static_cast<long long>(std::min(seconds / 86400, 1e9))) + " d";
    }
    return "as of " + amount + " ago";
}

}  // namespace wren::QuotaFormat
