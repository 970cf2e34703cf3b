#include "core/cli/utf8.h"

namespace wren::Utf8 {

Step at(std::string_view text, std::size_t index) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[index + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {1, lead, true};
    std::size_t need = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return {1, 0, false};
    }
    for (std::size_t i = 1; i <= need; ++i) {
        if (index + i >= text.size()) return {i, 0, false};
        const unsigned char next = byte(i);
        const bool fits = i == 1 ? (next >= low && next <= high) : (next >= 0x80 && next <= 0xBF);
        if (!fits) return {i, 0, false};
        value = (value << 6) | (next & 0x3F);
    }
    return {need + 1, value, true};
}

}  // namespace wren::Utf8
