#pragma once

#include <cstdint>
#include <limits>

namespace wren {

/// a + b, stopping at the int64 limits instead of wrapping: a total of token counts near the
/// limit stays a huge number rather than turning into a negative one.
constexpr std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

}  // namespace wren
