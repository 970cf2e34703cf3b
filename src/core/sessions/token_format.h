#pragma once

#include <cstdint>
#include <string>

namespace wren::TokenFormat {

/// The short form of a token count, a few characters wide: "999", "1k" (thousands truncated,
/// never a decimal), "2M" or "1.5M". Negative counts are shown as plain decimals.
std::string shortForm(std::int64_t tokens);

/// A worked duration: "1d 3h" from a day on, "2h 5m" from an hour on, else "42m". Negative,
/// non-finite and out-of-range inputs are clamped into 0 … INT64_MAX seconds first, so a clock
/// that jumped backwards reads "0m" rather than a negative count.
std::string duration(double seconds);

}  // namespace wren::TokenFormat
