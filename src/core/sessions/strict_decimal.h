#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace wren {

/// The strict decimal integer of environment values: one optional "+" or "-", then one or more
/// ASCII digits and nothing else, within the signed 64-bit range. Anything else is absent.
std::optional<std::int64_t> parseStrictDecimal(std::string_view text);

}  // namespace wren
