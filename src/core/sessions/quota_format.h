#pragma once

#include <cstdint>
#include <string>

#include "core/discovery/rate_limits.h"
#include "core/transcripts/instant.h"
#include "core/sessions/local_calendar.h"

namespace wren::QuotaFormat {

/// A window's length in words: "5 h", "week", else whole days ("2 d"), hours ("3 h") or
/// minutes ("90 min").
std::string length(std::int64_t minutes);

/// When a window resets, as a local clock time: "resets 14:30" on the day of `now`, else with
/// the English weekday: "resets Mon 09:00"; with the date beyond the next six days:
/// "resets 2 Mar 09:00".
std::string resets(Instant reset, Instant now, const LocalCalendar& calendar);

/// One line of the detail's list: "5 h: 54% left · resets 14:30" (what is left rounded and
/// clamped to 0…100; "unknown" when the figure is not a number).
std::string line(const RateWindow& window, Instant now, const LocalCalendar& calendar);

/// How old a figure is: "as of 3 h ago" (whole minutes, hours or days), "as of just now" below a
/// minute or when the stamp lies ahead of `now`.
std::string age(Instant asOf, Instant now);

}  // namespace wren::QuotaFormat
