// The rate-limit search and window parsing on arbitrary JSON.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "core/discovery/rate_limits.h"
#include "core/transcripts/json_line.h"

using wren::fuzz::require;

namespace {

void checkWindow(simdjson::dom::object object) {
    const auto window = wren::RateLimitStore::parseWindow(object);
    if (!window) return;
    require(wren::json::integerMember(object, "window_minutes") == window->windowMinutes,
            "the window length is the record's integer");
}

// Claude Code's cached figures, read with the on-demand parser from any bytes.
void checkClaudeCache(const std::uint8_t* data, std::size_t size) {
    std::string padded(reinterpret_cast<const char*>(data), size);
    padded.append(simdjson::SIMDJSON_PADDING, '\0');
    const auto windows =
        wren::RateLimitStore::parseClaudeCache(std::string_view(padded.data(), size));
    require(windows.size() <= 2, "one window per known bucket, whatever the repeats");
    for (const wren::RateWindow& window : windows) {
        require(window.windowMinutes == wren::RateLimitStore::kFiveHourMinutes ||
                    window.windowMinutes == wren::RateLimitStore::kWeekMinutes,
                "only the known buckets become windows");
        require(std::isfinite(window.reportedPercent), "a cached figure is a number");
        require(window.source == wren::QuotaSource::cache, "cached figures say so");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkClaudeCache(data, size);
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (!wren::fuzz::parseJson(parser, {reinterpret_cast<const char*>(data), size}, root)) {
        return 0;
    }
    for (const std::string_view key : {"rate_limits", "rateLimits"}) {
        const auto found = wren::RateLimitStore::search(root, key);
        if (!found) continue;
        require(found->size() > 0, "an empty object under the key does not count");
        checkWindow(*found);
        if (const auto primary = wren::json::objectMember(*found, "primary")) checkWindow(*primary);
        if (const auto secondary = wren::json::objectMember(*found, "secondary")) {
            checkWindow(*secondary);
        }
    }
    simdjson::dom::object object;
    if (root.get(object) == simdjson::SUCCESS) checkWindow(object);
    return 0;
}
