#pragma once

#include <chrono>

namespace wren {

/// A point in time: seconds since 1970-01-01T00:00:00Z, kept as a double like the transcripts'
/// fractional time stamps.
using Seconds = std::chrono::duration<double>;
using Instant = std::chrono::time_point<std::chrono::system_clock, Seconds>;

constexpr Instant instantFromUnix(double seconds) {
    return Instant(Seconds(seconds));
}
constexpr double unixSeconds(Instant instant) {
    return instant.time_since_epoch().count();
}

/// The system clock's now. Only the edges of the program ask for it; the rules take `now` as an
/// argument.
inline Instant systemNow() {
    return Instant(std::chrono::system_clock::now());
}

}  // namespace wren
