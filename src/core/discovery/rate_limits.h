#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include <simdjson.h>

#include "core/transcripts/instant.h"
#include "core/transcripts/json_line.h"

namespace wren {

/// Where a quota figure came from: an agent's transcript, or the figures Claude Code caches in
/// its global configuration.
enum class QuotaSource { transcript, cache };

/// One agent's usage quota window, as its newest rate-limit record states it.
struct RateWindow {
    double reportedPercent = 0;  // not clamped
    std::int64_t windowMinutes = 0;
    std::optional<Instant> resetsAt;
    QuotaSource source = QuotaSource::transcript;
    std::optional<Instant> asOf = std::nullopt;  // when the figure was recorded, when known

    friend bool operator==(const RateWindow&, const RateWindow&) = default;
};

namespace RateLimitStore {

/// The most recently modified non-hidden child that is a directory (`directories`) or not; on
/// equal times the first listed. A symlink is judged by itself, so it is never a directory.
std::optional<std::filesystem::path> newestChild(const std::filesystem::path& directory,
                                                 bool directories);
/// The first non-empty object under `key` in the newest line (of the last 512 KiB) that has one.
/// Returned as the parsed object owned by `parser`: valid until its next parse. `stamped`, when
/// given, receives that record's time stamp. With `nullEnds`, a newer line whose first member
/// under `key` is null ends the search with nothing.
std::optional<simdjson::dom::object> lastObject(std::string_view key,
                                                const std::filesystem::path& file,
                                                json::LineParser& parser,
                                                std::optional<Instant>* stamped = nullptr,
                                                bool nullEnds = false);
/// Depth first (bounded depth): the first non-empty object under `key`.
std::optional<simdjson::dom::object> search(simdjson::dom::element value, std::string_view key);
std::optional<RateWindow> parseWindow(simdjson::dom::object object);

/// The Codex window: newest year/month/day directory, newest file, rate_limits.primary.
std::optional<RateWindow> codexWindow(const std::filesystem::path& codexSessions);
/// Both windows of that newest rate_limits record (either may be absent; `rate_limits` may be
/// null). Which is the 5-hour and which the weekly one is told by their length, not position:
/// on weekly-only plans the primary one is weekly.
struct CodexLimits {
    std::optional<RateWindow> primary;
    std::optional<RateWindow> secondary;
};
CodexLimits codexLimits(const std::filesystem::path& codexSessions);
/// The Claude window: newest project directory, newest file, rateLimits.
std::optional<RateWindow> claudeWindow(const std::filesystem::path& claudeProjects);

/// The lengths of the windows Claude Code caches, by their names in the cache.
inline constexpr std::int64_t kFiveHourMinutes = 300;
inline constexpr std::int64_t kWeekMinutes = 10080;

/// Where Claude Code keeps its global configuration: `configDir`/.claude.json when
/// CLAUDE_CONFIG_DIR is set (`configDir` non-null), else `home`/.claude.json, then
/// `home`/.claude/.claude.json. Nothing without either.
std::vector<std::filesystem::path> claudeConfigFiles(const char* configDir,
                                                     const std::filesystem::path& home);
/// The windows of `cachedUsageUtilization` in one configuration document: "five_hour" and
/// "seven_day" (other buckets are not known), each with its percent used and reset, as of
/// "fetchedAtMs". `document` must be followed by SIMDJSON_PADDING readable bytes. Nothing for a
/// document that is not JSON or has no cache. Reads only that member (the on-demand parser
/// skips the rest, however large).
std::vector<RateWindow> parseClaudeCache(std::string_view document);
/// The cached windows of the first of `files` that is a regular file of at most 64 MiB and
/// holds any. Never writes the files.
std::vector<RateWindow> claudeCachedWindows(const std::vector<std::filesystem::path>& files);

/// The windows still current at `now`: one whose reset has passed says nothing about today.
std::vector<RateWindow> currentWindows(std::vector<RateWindow> windows, Instant now);
/// The window that will stop the user first: the least left; on a tie the longer one, which
/// stays in the way longer. Nothing for an empty list.
std::optional<RateWindow> bindingWindow(const std::vector<RateWindow>& windows);

}  // namespace RateLimitStore
}  // namespace wren
