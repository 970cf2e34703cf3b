// Time stamps: the fast path and the strict fallback on arbitrary text.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"
#include "core/transcripts/iso8601.h"

using wren::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto fast = wren::ISO8601::parse(text);
    const auto strict = wren::ISO8601::fallback(text);
    if (fast) {
        require(std::isfinite(wren::unixSeconds(*fast)), "a parsed instant is finite");
        require(size >= 20 && size <= 40 && text.back() == 'Z', "the fast path takes one shape");
    }
    if (strict) require(std::isfinite(wren::unixSeconds(*strict)), "a parsed instant is finite");
    // Where both accept a text they read the same instant from it.
    if (fast && strict) require(*fast == *strict, "the two parsers agree");
    return 0;
}
