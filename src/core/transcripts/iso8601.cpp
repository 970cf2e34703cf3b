#include "core/transcripts/iso8601.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/transcripts/ascii.h"

namespace wren::ISO8601 {
namespace {

constexpr int digit(char c) {
    return c - '0';
}

int twoDigits(std::string_view s, std::size_t at) {
    return digit(s[at]) * 10 + digit(s[at + 1]);
}

// Proleptic Gregorian days since 1970-01-01 (days-from-civil).
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    const std::int64_t y = month <= 2 ? year - 1 : year;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = month <= 2 ? month + 9 : month - 3;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Fields {
    int year, month, day, hour, minute, second;
};

// "YYYY-MM-DDTHH:MM:SS" at the start of `s` with the fast path's range checks.
std::optional<Fields> dateTime(std::string_view s) {
    if (s.size() < 19) return std::nullopt;
    if (s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':') {
        return std::nullopt;
    }
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
        if (!isAsciiDigit(s[i])) return std::nullopt;
    }
    Fields f{twoDigits(s, 0) * 100 + twoDigits(s, 2),
             twoDigits(s, 5),
             twoDigits(s, 8),
             twoDigits(s, 11),
             twoDigits(s, 14),
             twoDigits(s, 17)};
    if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > 31 || f.hour > 23 || f.minute > 59 ||
        f.second > 60) {
        return std::nullopt;
    }
    return f;
}

// Digits after a "." at `at`; moves `at` to the first byte after them.
double fraction(std::string_view s, std::size_t& at) {
    double value = 0;
    double factor = 0.1;
    while (at < s.size() && isAsciiDigit(s[at])) {
        value += digit(s[at]) * factor;
        factor /= 10;
        ++at;
    }
    return value;
}

Instant instant(const Fields& f, double fractionValue, std::int64_t offsetSeconds) {
    const std::int64_t days = daysFromCivil(f.year, f.month, f.day);
    const std::int64_t secondsOfDay = f.hour * 3600 + f.minute * 60 + f.second;
    return instantFromUnix(fractionValue + (static_cast<double>(secondsOfDay - offsetSeconds) +
                                            static_cast<double>(days) * 86400.0));
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<Instant> parse(std::string_view text) {
    if (text.size() > 40 || text.size() < 20) return std::nullopt;
    const auto fields = dateTime(text);
    if (!fields) return std::nullopt;
    std::size_t at = 19;
    double frac = 0;
    if (text[at] == '.') {
        ++at;
        frac = fraction(text, at);
        if (at == text.size()) return std::nullopt;  // ended inside the digits
    }
    if (text[at] != 'Z' || at + 1 != text.size()) return std::nullopt;
    return instant(*fields, frac, 0);
}

std::optional<Instant> fallback(std::string_view text) {
    // Long enough for any sane fraction; a longer text is not a time stamp.
    if (text.size() > 64) return std::nullopt;
    const auto fields = dateTime(text);
    if (!fields || fields->day > daysInMonth(fields->year, fields->month)) return std::nullopt;
    std::size_t at = 19;
    double frac = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        const std::size_t first = at;
        frac = fraction(text, at);
        if (at == first) return std::nullopt;  // a fraction needs at least one digit here
    }
    if (at >= text.size()) return std::nullopt;  // a zone is required
    const std::string_view zone = text.substr(at);
    if (zone == "Z") return instant(*fields, frac, 0);
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' ||
        !isAsciiDigit(zone[1]) || !isAsciiDigit(zone[2]) || !isAsciiDigit(zone[4]) ||
        !isAsciiDigit(zone[5])) {
        return std::nullopt;
    }
    const int hours = twoDigits(zone, 1);
    const int minutes = twoDigits(zone, 4);
    if (hours > 23 || minutes > 59) return std::nullopt;
    const std::int64_t offset = (zone[0] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
    return instant(*fields, frac, offset);
}

std::optional<std::string> formatUtcMillis(Instant instant) {
    const double seconds = unixSeconds(instant);
    // Beyond this the year has more than four digits anyway.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e12) return std::nullopt;
    const auto millis = static_cast<std::int64_t>(std::llround(seconds * 1000.0));
    const std::int64_t days = (millis >= 0 ? millis : millis - 86'399'999) / 86'400'000;
    const std::int64_t ofDay = millis - days * 86'400'000;
    // Civil date from days since 1970-01-01 (the inverse of daysFromCivil).
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 0 || year > 9999) return std::nullopt;
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", static_cast<int>(year),
                  static_cast<int>(month), static_cast<int>(day),
                  static_cast<int>(ofDay / 3'600'000), static_cast<int>(ofDay / 60'000 % 60),
                  static_cast<int>(ofDay / 1000 % 60), static_cast<int>(ofDay % 1000));
    return std::string(text);
}

}  // namespace wren::ISO8601
