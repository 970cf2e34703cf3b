#include "core/transcripts/json_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "core/transcripts/jsonl_reader.h"

namespace wren {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TranscriptWindow windowOf(std::string_view bytes) {
    PaddedBuffer buffer(bytes.size());
    std::memcpy(buffer.data(), bytes.data(), bytes.size());
    auto w = JSONLReader::window(std::move(buffer), false, false);
    EXPECT_TRUE(w);
    return std::move(*w);
}

TEST(JsonLine, Integer) {
    struct Case {
        const char* number;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"300", 300},
        {"-5", -5},
        {"0", 0},
        {"300.0", 300},
        {"3e2", 300},
        {"-0.0", 0},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"-9223372036854775808.0", kMin},                // -2^63 is a double that fits
        {"9223372036854774784.0", 9223372036854774784},  // the largest double below 2^63
        {"300.5", std::nullopt},
        {"1e-300", std::nullopt},
        {"1e300", std::nullopt},
        {"1.7976931348623157e308", std::nullopt},
        {"-1e19", std::nullopt},
        {"9223372036854775808.0", std::nullopt},  // 2^63 as a double
        {"9.2233720368547758e18", std::nullopt},
        {"9223372036854775808", std::nullopt},   // above int64, still an unsigned 64-bit value
        {"18446744073709551615", std::nullopt},  // the largest unsigned 64-bit value
        {"18446744073709551616", std::nullopt},  // beyond 64 bits
        {"123456789012345678901234567890", std::nullopt},
        {"\"300\"", std::nullopt},
        {"true", std::nullopt},
        {"false", std::nullopt},
        {"null", std::nullopt},
        {"[300]", std::nullopt},
        {"{\"v\":300}", std::nullopt},
    };
    json::LineParser parser;
    for (const Case& c : cases) {
        const auto w = windowOf(std::string("{\"v\":") + c.number + "}\n");
        const auto object = parser.parseObject(w, 0);
        // Whether or not the parser keeps a line with such a number, the value is absent.
        const auto value = object ? json::integerMember(*object, "v") : std::nullopt;
        EXPECT_EQ(value, c.expected) << c.number;
    }
}

TEST(JsonLine, Members) {
    const auto w =
        windowOf(R"({"s":"text","o":{"k":1},"t":true,"f":false,"one":1,"ts":"true","n":null})");
    json::LineParser parser;
    const auto object = parser.parseObject(w, 0);
    ASSERT_TRUE(object);
    EXPECT_EQ(json::stringMember(*object, "s"), "text");
    EXPECT_FALSE(json::stringMember(*object, "o"));
    EXPECT_FALSE(json::stringMember(*object, "missing"));
    EXPECT_TRUE(json::objectMember(*object, "o"));
    EXPECT_FALSE(json::objectMember(*object, "s"));
    EXPECT_TRUE(json::member(*object, "n"));
    EXPECT_FALSE(json::member(*object, "missing"));
    EXPECT_FALSE(json::integerMember(*object, "missing"));
    const std::pair<const char*, bool> flags[] = {
        {"t", true}, {"f", false}, {"one", false}, {"ts", false}, {"n", false}, {"missing", false},
    };
    for (const auto& [key, expected] : flags)
        EXPECT_EQ(json::isTrue(*object, key), expected) << key;
}

// Each line is parsed where it lies in the window: the bytes after it, which the parser may look
// at, never become part of its value.
TEST(JsonLine, ParsesLinesInPlace) {
    const std::string data =
        "{\"a\":1}\n"
        "1\n2345\n"
        "{\"text\":\"x\n\"}\n"  // a line break inside a string splits the record
        "  {\"a\":22} \t\r\n"   // CRLF and surrounding blanks
        "[1,2]\n"
        "{\"a\":\"tail\"}";  // the last line ends where the data ends
    const auto w = windowOf(data);
    ASSERT_EQ(w.lines.size(), 8u);

    json::LineParser parser;
    const auto first = parser.parseObject(w, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(json::integerMember(*first, "a"), 1);

    const auto one = parser.parse(w, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(json::integer(*one), 1);
    EXPECT_FALSE(parser.parseObject(w, 1));  // valid JSON, but not an object

    EXPECT_FALSE(parser.parse(w, 3));  // {"text":"x
    EXPECT_FALSE(parser.parse(w, 4));  // "}

    const auto crlf = parser.parseObject(w, 5);
    ASSERT_TRUE(crlf);
    EXPECT_EQ(json::integerMember(*crlf, "a"), 22);

    EXPECT_TRUE(parser.parse(w, 6));
    EXPECT_FALSE(parser.parseObject(w, 6));

    const auto last = parser.parseObject(w, 7);
    ASSERT_TRUE(last);
    EXPECT_EQ(json::stringMember(*last, "a"), "tail");
}

TEST(JsonLine, RefusesDeepNesting) {
    struct Case {
        std::size_t depth;
        const char* open;
        const char* close;
        bool parses;
    };
    const Case cases[] = {
        {1000, "[", "]", true},
        {100000, "[", "]", false},
        {100000, "{\"a\":", "}", false},
        {100000, "[", "", false},  // unclosed as well
    };
    json::LineParser parser;
    for (const Case& c : cases) {
        std::string line;
        for (std::size_t i = 0; i < c.depth; ++i) line += c.open;
        line += "0";
        for (std::size_t i = 0; i < c.depth; ++i) line += c.close;
        const auto w = windowOf(line + "\n{\"after\":true}\n");
        EXPECT_EQ(parser.parse(w, 0).has_value(), c.parses) << c.depth << " of " << c.open;
        // The parser stays usable after refusing a line.
        const auto after = parser.parseObject(w, 1);
        ASSERT_TRUE(after);
        EXPECT_TRUE(json::isTrue(*after, "after"));
    }
}

TEST(JsonLine, Contains) {
    struct Case {
        std::string_view haystack, needle;
        bool expected;
    };
    const Case cases[] = {
        {"{\"type\":\"user\"}", "\"user\"", true},
        {"abc", "abcd", false},
        {"", "a", false},
        {"abc", "", true},
        {std::string_view("a\0b", 3), std::string_view("\0b", 2), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(json::contains(c.haystack, c.needle), c.expected)
            << c.haystack << " / " << c.needle;
    }
}

}  // namespace
}  // namespace wren
