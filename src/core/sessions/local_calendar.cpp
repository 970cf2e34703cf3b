#include "core/sessions/local_calendar.h"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <cmath>
#include <memory>

namespace wren {

namespace {

// A calendar in `zoneName` (the process's own zone when empty), set to `moment`.
icu::GregorianCalendar calendarAt(const std::string& zoneName, Instant moment, UErrorCode& status) {
    std::unique_ptr<icu::TimeZone> zone(
        zoneName.empty() ? icu::TimeZone::createDefault()
                         : icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneName)));
    icu::GregorianCalendar calendar(zone.release(), status);  // adopts the zone
    calendar.setTime(unixSeconds(moment) * 1000.0, status);
    return calendar;
}

}  // namespace

LocalCalendar::Day LocalCalendar::dayContaining(Instant moment) const {
    const Day empty{moment, moment};
    if (!std::isfinite(unixSeconds(moment))) return empty;
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar = calendarAt(zone_, moment, status);
    // Zeroing the fields (not subtracting 24 h) lets the calendar find midnight on DST days.
    calendar.set(UCAL_HOUR_OF_DAY, 0);
    calendar.set(UCAL_MINUTE, 0);
    calendar.set(UCAL_SECOND, 0);
    calendar.set(UCAL_MILLISECOND, 0);
    const UDate start = calendar.getTime(status);
    // The next day's midnight, set as fields too. Adding a day to the start would keep its wall
    // time, which is 01:00, not 00:00, on a day whose midnight a daylight-saving change skipped.
    calendar.set(UCAL_DATE, calendar.get(UCAL_DATE, status) + 1);
    calendar.set(UCAL_HOUR_OF_DAY, 0);
    calendar.set(UCAL_MINUTE, 0);
    calendar.set(UCAL_SECOND, 0);
    calendar.set(UCAL_MILLISECOND, 0);
    const UDate end = calendar.getTime(status);
    if (U_FAILURE(status)) return empty;
    return Day{instantFromUnix(start / 1000.0), instantFromUnix(end / 1000.0)};
}

std::optional<LocalCalendar::WallClock> LocalCalendar::wallClock(Instant moment) const {
    if (!std::isfinite(unixSeconds(moment))) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar = calendarAt(zone_, moment, status);
    WallClock clock;
    clock.weekday = calendar.get(UCAL_DAY_OF_WEEK, status) - UCAL_SUNDAY;
    clock.day = calendar.get(UCAL_DATE, status);
    clock.month = calendar.get(UCAL_MONTH, status) - UCAL_JANUARY;
    clock.hour = calendar.get(UCAL_HOUR_OF_DAY, status);
    clock.minute = calendar.get(UCAL_MINUTE, status);
    if (U_FAILURE(status) || clock.weekday < 0 || clock.weekday > 6 || clock.month < 0 ||
        clock.month > 11) {
        return std::nullopt;
    }
    return clock;
}

}  // namespace wren
