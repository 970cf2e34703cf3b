#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace wren::Profile {

/// Optional wall-time accounting per named stage, switched on by WRENISLAND_PROFILE=1 (exactly
/// "1"; read once). When off, a stage costs one Boolean test: no clock, no lock.

bool enabled();

/// Adds one call of `nanos` to the span `name` (thread-safe).
void record(std::string_view name, std::uint64_t nanos);

/// The report of all spans under `title`, and clears them. Empty when profiling is off.
std::string take(std::string_view title);

/// Writes take(title) to standard error in one write; nothing when profiling is off.
void flush(std::string_view title);

/// Runs `body`; when profiling is on, records its monotonic duration under `name`.
template <class Body>
decltype(auto) measure(std::string_view name, Body&& body) {
    if (!enabled()) return std::forward<Body>(body)();
    struct Stop {
        std::string_view name;
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        ~Stop() {
            const auto elapsed = std::chrono::steady_clock::now() - start;
            record(name, static_cast<std::uint64_t>(
                             std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
        }
    } stop{name};
    return std::forward<Body>(body)();
}

}  // namespace wren::Profile
