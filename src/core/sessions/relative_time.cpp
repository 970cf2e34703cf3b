#include "core/sessions/relative_time.h"

#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/timezone.h>

#include <cmath>
#include <cstdint>

namespace wren {
namespace {

struct Span {
    double count = 0;
    UDateRelativeUnit unit = UDAT_RELATIVE_SECONDS;
};

// Largest non-zero unit first, the way calendar components are read off a difference.
Span largestUnit(const icu::TimeZone& zone, UDate from, UDate to) {
    static constexpr struct {
        UCalendarDateFields field;
        UDateRelativeUnit unit;
    } kUnits[] = {
        {UCAL_YEAR, UDAT_RELATIVE_YEARS},         {UCAL_MONTH, UDAT_RELATIVE_MONTHS},
        {UCAL_WEEK_OF_YEAR, UDAT_RELATIVE_WEEKS}, {UCAL_DATE, UDAT_RELATIVE_DAYS},
        {UCAL_HOUR_OF_DAY, UDAT_RELATIVE_HOURS},  {UCAL_MINUTE, UDAT_RELATIVE_MINUTES},
        {UCAL_SECOND, UDAT_RELATIVE_SECONDS},
    };
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar(zone, status);
    calendar.setTime(from, status);
    if (U_SUCCESS(status)) {
        for (const auto& u : kUnits) {
            const std::int32_t n = calendar.fieldDifference(to, u.field, status);
            if (U_FAILURE(status)) break;
            if (n > 0) return {static_cast<double>(n), u.unit};
        }
    }
    // Without a calendar, fall back to fixed unit lengths.
    const double seconds = (to - from) / 1000.0;
    if (seconds >= 86'400 * 7) return {std::floor(seconds / (86'400 * 7)), UDAT_RELATIVE_WEEKS};
    if (seconds >= 86'400) return {std::floor(seconds / 86'400), UDAT_RELATIVE_DAYS};
    if (seconds >= 3600) return {std::floor(seconds / 3600), UDAT_RELATIVE_HOURS};
    if (seconds >= 60) return {std::floor(seconds / 60), UDAT_RELATIVE_MINUTES};
    return {std::floor(seconds), UDAT_RELATIVE_SECONDS};
}

std::string plainEnglish(const Span& span) {
    static constexpr const char* kNames[] = {"second", "minute", "hour", "day",
                                             "week",   "month",  "year"};
    const auto n = static_cast<std::int64_t>(span.count);
    std::string text = std::to_string(n) + " " + kNames[span.unit];
    if (n != 1) text += "s";
    return text + " ago";
}

}  // namespace

struct RelativeFormatter::Impl {
    std::unique_ptr<icu::TimeZone> zone;
    std::unique_ptr<icu::RelativeDateTimeFormatter> formatter;  // null when ICU has no data
};

RelativeFormatter::RelativeFormatter(const std::string& locale, const std::string& zone)
    : impl_(std::make_unique<Impl>()) {
    impl_->zone.reset(zone.empty()
                          ? icu::TimeZone::createDefault()
                          : icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zone)));
    const icu::Locale where =
        locale.empty() ? icu::Locale::getDefault() : icu::Locale::createFromName(locale.c_str());
    UErrorCode status = U_ZERO_ERROR;
    auto formatter = std::make_unique<icu::RelativeDateTimeFormatter>(
        where, nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_SUCCESS(status)) impl_->formatter = std::move(formatter);
}

RelativeFormatter::~RelativeFormatter() = default;

std::string RelativeFormatter::format(Instant date, Instant now) const {
    const double elapsed = unixSeconds(now) - unixSeconds(date);
    if (!std::isfinite(elapsed) || elapsed < 60) return "just now";
    const Span span =
        largestUnit(*impl_->zone, unixSeconds(date) * 1000.0, unixSeconds(now) * 1000.0);
    if (impl_->formatter) {
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString text;
        impl_->formatter->format(span.count, UDAT_DIRECTION_LAST, span.unit, text, status);
        if (U_SUCCESS(status)) {
            std::string utf8;
            return text.toUTF8String(utf8);
        }
    }
    return plainEnglish(span);
}

std::optional<Instant> RelativeFormatter::nextChange(Instant date, Instant now) const {
    const double from = unixSeconds(date);
    const double to = unixSeconds(now);
    if (!std::isfinite(from) || !std::isfinite(to)) return std::nullopt;
    // "just now" (also for a date ahead of the clock) lasts until a whole minute has passed.
    if (to - from < 60) return instantFromUnix(from + 60);

    // The text is a count of the largest non-zero unit. It changes when that count grows, or
    // when a larger unit reaches one: the earliest of those instants, on the same calendar
    // arithmetic that counted them.
    static constexpr struct {
        UCalendarDateFields field;
        UDateRelativeUnit unit;
    } kUnits[] = {
        {UCAL_SECOND, UDAT_RELATIVE_SECONDS},     {UCAL_MINUTE, UDAT_RELATIVE_MINUTES},
        {UCAL_HOUR_OF_DAY, UDAT_RELATIVE_HOURS},  {UCAL_DATE, UDAT_RELATIVE_DAYS},
        {UCAL_WEEK_OF_YEAR, UDAT_RELATIVE_WEEKS}, {UCAL_MONTH, UDAT_RELATIVE_MONTHS},
        {UCAL_YEAR, UDAT_RELATIVE_YEARS},
    };
    const Span span = largestUnit(*impl_->zone, from * 1000.0, to * 1000.0);
    std::optional<double> next;
    for (const auto& u : kUnits) {
        if (u.unit < span.unit) continue;
        const double steps = u.unit == span.unit ? span.count + 1 : 1;
        if (steps > 2e9) continue;  // beyond any calendar's range
        UErrorCode status = U_ZERO_ERROR;
        icu::GregorianCalendar calendar(*impl_->zone, status);
        calendar.setTime(from * 1000.0, status);
        calendar.add(u.field, static_cast<std::int32_t>(steps), status);
        const UDate at = calendar.getTime(status);
        if (U_FAILURE(status)) continue;
        const double seconds = at / 1000.0;
        if (seconds > to && (!next || seconds < *next)) next = seconds;
    }
    if (!next) return std::nullopt;
    return instantFromUnix(*next);
}

namespace RelativeTime {
namespace {

const RelativeFormatter& sharedFormatter() {
    static const RelativeFormatter shared;
    return shared;
}

}  // namespace

std::string longForm(Instant date, Instant now) {
    return sharedFormatter().format(date, now);
}

std::optional<Instant> longFormNextChange(Instant date, Instant now) {
    return sharedFormatter().nextChange(date, now);
}

std::string longForm(Instant date) {
    return longForm(date, systemNow());
}

std::string compact(Instant date, Instant now) {
    const double elapsed = unixSeconds(now) - unixSeconds(date);
    if (!(elapsed >= 0) || elapsed < 60) return "now";
    // Whole units stay below 2^63 for any elapsed time a double can carry here.
    const auto whole = [](double value) {
        return std::to_string(static_cast<std::int64_t>(std::fmin(value, 9.2e18)));
    };
    if (elapsed < 3600) return whole(elapsed / 60) + "m";
    if (elapsed < 86'400) return whole(elapsed / 3600) + "h";
    return whole(elapsed / 86'400) + "d";
}

std::string compact(Instant date) {
    return compact(date, systemNow());
}

std::optional<Instant> compactNextChange(Instant date, Instant now) {
    const double from = unixSeconds(date);
    const double elapsed = unixSeconds(now) - from;
    if (std::isnan(elapsed) || !std::isfinite(from)) return std::nullopt;
    if (elapsed < 60) return instantFromUnix(from + 60);  // "now", also ahead of the clock
    const double unit = elapsed < 3600 ? 60 : elapsed < 86'400 ? 3600 : 86'400;
    return instantFromUnix(from + (std::floor(elapsed / unit) + 1) * unit);
}

}  // namespace RelativeTime
}  // namespace wren
