#pragma once

#include <cstddef>
#include <string_view>

namespace wren::Utf8 {

/// One step through text that should be UTF-8 but may not be, for everything that prints text
/// from a transcript (the dump, the JSON snapshot).

/// What lies at one position: a well-formed sequence and its code point, or an ill-formed one
/// whose length is that of its maximal ill-formed prefix (at least 1 byte). Each ill-formed
/// piece stands for one U+FFFD, the Unicode standard's recommended practice.
struct Step {
    std::size_t length = 1;
    char32_t codePoint = 0;
    bool valid = false;
};

/// The step at `index`, which must lie inside `text`.
Step at(std::string_view text, std::size_t index);

/// U+FFFD REPLACEMENT CHARACTER in UTF-8.
inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

/// The bidirectional embeddings, overrides (U+202A to U+202E) and isolates (U+2066 to U+2069):
/// printed raw, they make a terminal show the rest of the line in another order.
constexpr bool reordersText(char32_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

/// The C1 controls U+0080 to U+009F, which some terminals obey like escape sequences.
constexpr bool isC1Control(char32_t c) {
    return c >= 0x80 && c <= 0x9F;
}

}  // namespace wren::Utf8
