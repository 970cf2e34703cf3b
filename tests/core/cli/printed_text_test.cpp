#include "core/cli/printed_text.h"

#include <gtest/gtest.h>

#include <string>

namespace wren::PrintedText {
namespace {

using namespace std::string_literals;

TEST(PrintedText, ATerminalLineShowsEverythingAndObeysNothing) {
    const std::string kFffd = "\xEF\xBF\xBD";
    struct Case {
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {"plain-project_1.0", "plain-project_1.0"},
        {"a\tb\nc\rd", "a\\tb\\nc\\rd"},
        {"\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
        {"nul\0in"s, "nul\\x00in"},
        {"\x01\x1f\x7f", "\\x01\\x1f\\x7f"},
        {"back\\slash", "back\\\\slash"},
        {"c1 \xC2\x85 \xC2\x9B \xC2\x80 \xC2\x9F", "c1 \\u0085 \\u009b \\u0080 \\u009f"},
        // Bidirectional overrides and isolates would reorder what follows them on the line.
        {"a\u202eb\u202ac\u2066d\u2069e", "a\\u202eb\\u202ac\\u2066d\\u2069e"},
        {"marks \u200f\u061c kept", "marks \u200f\u061c kept"},
        {"ls \u2028 ps \u2029", "ls \\u2028 ps \\u2029"},
        {"quote \"", "quote \""},
        {"kept \xC2\xA0 \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
         "kept \xC2\xA0 \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"},
        {"\xFF", kFffd},
        {"end \xC3", "end " + kFffd},
        {"\xE2\x82x", kFffd + "x"},                           // truncated, then ASCII
        {"\xF0\x9F\x98", kFffd},                              // one maximal prefix, one U+FFFD
        {"\xC0\xAF", kFffd + kFffd},                          // overlong slash
        {"\xE0\x80\x80", kFffd + kFffd + kFffd},              // overlong
        {"\xED\xA0\x80", kFffd + kFffd + kFffd},              // a surrogate
        {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},  // past U+10FFFF
        {"\x80\xBF", kFffd + kFffd},                          // lone continuation bytes
        {"\xC2\n", kFffd + "\\n"},                            // a control never hides in a sequence
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(forTerminal(c.text), c.shown) << ::testing::PrintToString(c.text);
    }
}

}  // namespace
}  // namespace wren::PrintedText
