#include "core/sessions/strict_decimal.h"

#include <charconv>

#include "core/transcripts/ascii.h"

namespace wren {

std::optional<std::int64_t> parseStrictDecimal(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    for (const char c : digits) {
        if (!isAsciiDigit(c)) return std::nullopt;
    }
    // from_chars takes the minus itself (so INT64_MIN parses) but not a plus.
    const char* first = text.front() == '+' ? text.data() + 1 : text.data();
    const char* last = text.data() + text.size();
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

}  // namespace wren
