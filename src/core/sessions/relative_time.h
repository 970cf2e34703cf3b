#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/transcripts/instant.h"

namespace wren {

/// Says in words how long ago an instant was, through ICU's relative date-time formatter in
/// full style ("5 minutes ago", "vor 5 Minuten"). The unit is the largest calendar unit with a
/// non-zero count between the instant and now (years, months, weeks, days, hours, minutes,
/// seconds), counted in `zone`. Immutable once built; format() may be called from any thread.
class RelativeFormatter {
  public:
    /// `locale` is an ICU locale id ("de", "en_GB"); empty means the user's locale. `zone` is an
    /// IANA zone id; empty means the process's zone.
    explicit RelativeFormatter(const std::string& locale = {}, const std::string& zone = {});
    ~RelativeFormatter();
    RelativeFormatter(const RelativeFormatter&) = delete;
    RelativeFormatter& operator=(const RelativeFormatter&) = delete;

    /// "just now" when `date` is less than a minute before `now`, in the future or not a number;
    /// otherwise the localised past-tense phrase.
    std::string format(Instant date, Instant now) const;

    /// The first instant after `now` at which format(date, ·) gives another text: when the
    /// count of the shown unit grows or a larger unit takes over. Absent when either instant is
    /// not finite. Lets a view repaint exactly when its text would change, with no tick.
    std::optional<Instant> nextChange(Instant date, Instant now) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

namespace RelativeTime {

/// The long (full-style, localised) form: "just now" below a minute, else "5 minutes ago".
/// Uses one shared formatter in the user's locale, created on first use.
std::string longForm(Instant date, Instant now);
std::string longForm(Instant date);
/// When longForm(date, ·) next changes after `now` (see RelativeFormatter::nextChange).
std::optional<Instant> longFormNextChange(Instant date, Instant now);

/// The compact form: "now" below a minute (and for future or NaN instants), else whole minutes,
/// hours or days with a unit letter: "5m", "3h", "12d".
std::string compact(Instant date, Instant now);
std::string compact(Instant date);
/// The first instant after `now` at which compact(date, ·) gives another text; absent for a
/// date that is not a number.
std::optional<Instant> compactNextChange(Instant date, Instant now);

}  // namespace RelativeTime
}  // namespace wren
