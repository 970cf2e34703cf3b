#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace wren::Profile {

/// Optional wall-time accounting per named stage, switched on by WRENISLAND_PROFILE=1 (exactly
/// "1"; read once). When off, a stage costs one Boolean test: no clock, no lock.

bool enabled();

/// The rule enabled() applies to the variable's value (null when unset): exactly "1" switches
/// profiling on; "1 ", "01", "true" and the empty text do not.
bool enabledByValue(const char* value);

/// Adds one call of `nanos` to the span `name` (thread-safe). Nothing when profiling is off.
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
            record(name,
                   static_cast<std::uint64_t>(
                       std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
        }
    } stop{name};
    return std::forward<Body>(body)();
}

/// The totals of one span.
struct SpanTotal {
    std::string name;
    std::uint64_t nanos = 0;
    std::int64_t calls = 0;

    friend bool operator==(const SpanTotal&, const SpanTotal&) = default;
};

/// Span totals in the order their names were first recorded, behind one mutex. The process keeps
/// one behind record() and take(); a test can keep its own.
class SpanTable {
  public:
    void record(std::string_view name, std::uint64_t nanos);
    /// Every span so far, and an empty table behind them: a name recorded later starts afresh.
    std::vector<SpanTotal> takeAll();

  private:
    std::mutex mutex_;
    std::vector<SpanTotal> spans_;
    std::unordered_map<std::string, std::size_t> index_;
};

/// "\n[title]\n" and one aligned line per span: the name padded to 22 bytes (never cut), the
/// milliseconds with two decimals in 8 places, the calls in 5, and "call" or "calls".
std::string formatReport(std::string_view title, const std::vector<SpanTotal>& spans);

}  // namespace wren::Profile
