#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/transcripts/instant.h"

namespace wren::ISO8601 {

/// The transcripts' time stamps. Almost all are UTC with a "Z" and an optional fraction, so the
/// fast path handles exactly that shape without allocating; the readers call `fallback` when it
/// gives nothing.

/// "YYYY-MM-DDTHH:MM:SS[.f…]Z", at most 40 bytes. Fields are range-checked but the day is not
/// checked against the month (February 31 rolls into March); a leap second 60 is accepted.
std::optional<Instant> parse(std::string_view text);

/// Internet date-time with a "Z" or "±hh:mm" zone, with or without a fraction. Calendar dates
/// are checked strictly here. Pure, so it needs no lock.
std::optional<Instant> fallback(std::string_view text);

/// A record's stamp as the readers take it: the fast path, then the fallback.
inline std::optional<Instant> parseAny(std::string_view text) {
    if (auto instant = parse(text)) return instant;
    return fallback(text);
}

/// "YYYY-MM-DDTHH:MM:SS.mmmZ": the instant in UTC, rounded to the nearest millisecond. Nothing
/// for an instant that is not finite or whose year falls outside 0000 to 9999.
std::optional<std::string> formatUtcMillis(Instant instant);

}  // namespace wren::ISO8601
