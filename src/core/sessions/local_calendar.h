#pragma once

#include <optional>
#include <string>

#include "core/transcripts/instant.h"

namespace wren {

/// Calendar days in one time zone, so "today" follows local midnight, including on the days a
/// daylight-saving change makes 23 or 25 hours long. The zone is a value so tests can pin it.
class LocalCalendar {
  public:
    /// The process's own zone (TZ, else /etc/localtime).
    LocalCalendar() = default;
    /// An IANA zone such as "Europe/Berlin"; an unknown id behaves as UTC.
    explicit LocalCalendar(std::string zone) : zone_(std::move(zone)) {}

    /// Local midnight to the next local midnight, half open.
    struct Day {
        Instant start;
        Instant end;
        bool contains(Instant t) const { return start <= t && t < end; }
    };

    /// The day that holds `moment`; an empty day when `moment` is not finite.
    Day dayContaining(Instant moment) const;

    /// What a wall clock and calendar in the zone show at a moment.
    struct WallClock {
        int weekday = 0;  // 0 = Sunday
        int day = 1;      // of the month
        int month = 0;    // 0 = January
        int hour = 0;
        int minute = 0;
    };
    /// Nothing when `moment` is not finite.
    std::optional<WallClock> wallClock(Instant moment) const;

  private:
    std::string zone_;  // empty: the process's zone
};

}  // namespace wren
