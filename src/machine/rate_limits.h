#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include <simdjson.h>

#include "transcripts/instant.h"
#include "transcripts/json_line.h"

namespace wren {

/// One agent's current usage quota window, as its newest rate-limit record states it.
struct RateWindow {
    double reportedPercent = 0;  // not clamped
    std::int64_t windowMinutes = 0;
    std::optional<Instant> resetsAt;

    friend bool operator==(const RateWindow&, const RateWindow&) = default;
};

namespace RateLimitStore {

/// The most recently modified non-hidden child that is a directory (`directories`) or not; on
/// equal times the first listed. A symlink is judged by itself, so it is never a directory.
std::optional<std::filesystem::path> newestChild(const std::filesystem::path& directory,
                                                 bool directories);
/// The first non-empty object under `key` in the newest line (of the last 512 KiB) that has one.
/// Returned as the parsed object owned by `parser`: valid until its next parse.
std::optional<simdjson::dom::object> lastObject(std::string_view key,
                                                const std::filesystem::path& file,
                                                json::LineParser& parser);
/// Depth first (bounded depth): the first non-empty object under `key`.
std::optional<simdjson::dom::object> search(simdjson::dom::element value, std::string_view key);
std::optional<RateWindow> parseWindow(simdjson::dom::object object);

/// The Codex window: newest year/month/day directory, newest file, rate_limits.primary.
std::optional<RateWindow> codexWindow(const std::filesystem::path& codexSessions);
/// The Claude window: newest project directory, newest file, rateLimits.
std::optional<RateWindow> claudeWindow(const std::filesystem::path& claudeProjects);

}  // namespace RateLimitStore
}  // namespace wren
