// The rate-limit search and window parsing on arbitrary JSON.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fuzz_checks.h"
#include "machine/rate_limits.h"
#include "transcripts/json_line.h"

using wren::fuzz::require;

namespace {

void checkWindow(simdjson::dom::object object) {
    const auto window = wren::RateLimitStore::parseWindow(object);
    if (!window) return;
    require(wren::json::integerMember(object, "window_minutes") == window->windowMinutes,
            "the window length is the record's integer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
    }
    simdjson::dom::object object;
    if (root.get(object) == simdjson::SUCCESS) checkWindow(object);
    return 0;
}
