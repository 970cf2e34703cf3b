#include "core/sessions/token_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace wren {
namespace {

TEST(TokenFormat, ShortForm) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    const struct {
        std::int64_t tokens;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-5, "-5"},
        {999, "999"},
        {1000, "1k"},
        {1500, "1k"},
        {1999, "1k"},
        {999'999, "999k"},
        {1'000'000, "1M"},
        {1'040'000, "1.0M"},
        {1'500'000, "1.5M"},
        {1'999'999, "2.0M"},
        {2'000'000, "2M"},
        {-2'000'000, "-2000000"},
        {1'234'567'890'000, "1234567.9M"},
        {kMax, "9223372036854.8M"},
        {kMin, "-9223372036854775808"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TokenFormat::shortForm(c.tokens), c.text) << c.tokens;
    }
}

TEST(TokenFormat, Duration) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "0m"},
        {59, "0m"},
        {59.99, "0m"},
        {60, "1m"},
        {2520, "42m"},
        {3599, "59m"},
        {3600, "1h 0m"},
        {7500, "2h 5m"},
        {86'399, "23h 59m"},
        {86'400, "1d 0h"},
        {90'061, "1d 1h"},
        {97'200, "1d 3h"},
        {86'400.0 * 400 + 3600 * 5 + 59, "400d 5h"},
        // Negative and non-finite values clamp to zero instead of printing "-6m" or worse.
        {-1, "0m"},
        {-4000, "0m"},
        {-1e300, "0m"},
        {std::nan(""), "0m"},
        {-std::numeric_limits<double>::infinity(), "0m"},
        // Beyond int64 seconds the value clamps to INT64_MAX.
        {std::numeric_limits<double>::infinity(), "106751991167300d 15h"},
        {1e300, "106751991167300d 15h"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TokenFormat::duration(c.seconds), c.text) << c.seconds;
    }
}

}  // namespace
}  // namespace wren
