#include "core/cli/json_writer.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "core/cli/printed_text.h"

namespace wren {
namespace {

using namespace std::string_literals;

std::string literal(std::string_view text) {
    std::string out;
    PrintedText::appendJsonString(out, text);
    return out;
}

// The text a JSON reader gets back from a literal; fails the test when it is not valid JSON.
std::string readBack(const std::string& literalText) {
    simdjson::dom::parser parser;
    std::string_view text;
    EXPECT_EQ(parser.parse(simdjson::padded_string(literalText)).get(text), simdjson::SUCCESS)
        << literalText;
    return std::string(text);
}

TEST(JsonWriter, StringsAreValidWhateverTheyHeld) {
    const std::string kFffd = "\xEF\xBF\xBD";
    const struct {
        std::string text;
        std::string written;
    } cases[] = {
        {"plain", R"("plain")"},
        {"", R"("")"},
        {"quote \" and \\ back", R"("quote \" and \\ back")"},
        {"a\tb\nc\rd", R"("a\tb\nc\rd")"},
        {"nul\0, bell\a, esc\x1b, unit\x1f"s, R"("nul\u0000, bell\u0007, esc\u001b, unit\u001f")"},
        {"del\x7f", R"("del\u007f")"},
        {"c1 \xC2\x85 \xC2\x9B", R"("c1 \u0085 \u009b")"},
        {"rlo \xE2\x80\xAE lri \xE2\x81\xA6 pdi \xE2\x81\xA9 lre \xE2\x80\xAA",
         R"("rlo \u202e lri \u2066 pdi \u2069 lre \u202a")"},
        {"ls \xE2\x80\xA8 ps \xE2\x80\xA9", R"("ls \u2028 ps \u2029")"},
        {"kept \xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80 \xE2\x80\x8F",
         "\"kept \xC3\xA9 \xE4\xB8\xAD "
         "\xF0\x9F\x98\x80 \xE2\x80\x8F\""},
        {"bad \xFF end", "\"bad " + kFffd + " end\""},
        {"cut \xE2\x82", "\"cut " + kFffd + "\""},
        {"\xC0\xAF", "\"" + kFffd + kFffd + "\""},
        {"\xED\xA0\x80", "\"" + kFffd + kFffd + kFffd + "\""},
        {"\xC2\"", "\"" + kFffd + "\\\"\""},  // a quote never hides inside a broken sequence
    };
    for (const auto& c : cases) {
        EXPECT_EQ(literal(c.text), c.written) << ::testing::PrintToString(c.text);
        readBack(literal(c.text));
    }
}

// Every byte string comes out as a literal that parses; a valid UTF-8 text reads back exactly,
// and nothing that could move a terminal's cursor or reorder its line is left raw.
TEST(JsonWriter, RandomTextsParseAndValidOnesReadBackExactly) {
    std::mt19937 random(11);
    const std::string pieces[] = {"a",
                                  "\"",
                                  "\\",
                                  "\n",
                                  "\x01",
                                  "\x7f",
                                  "\xC2\x85",
                                  "\xC3\xA9",
                                  "\xE2\x80\xAE",
                                  "\xE2\x80\xA8",
                                  "\xF0\x9F\x98\x80",
                                  "/",
                                  " "};
    const std::string broken[] = {"\xFF", "\xC3", "\xE2\x82", "\x80", "\xF4\x90\x80\x80"};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        bool valid = true;
        for (int n = random() % 12; n > 0; --n) {
            if (random() % 6 == 0) {
                text += broken[random() % std::size(broken)];
                valid = false;
            } else {
                text += pieces[random() % std::size(pieces)];
            }
        }
        const std::string written = literal(text);
        const std::string back = readBack(written);
        if (valid) EXPECT_EQ(back, text) << ::testing::PrintToString(text);
        for (const char c : written) EXPECT_GE(static_cast<unsigned char>(c), 0x20);
        EXPECT_EQ(written.find("\x7f"), std::string::npos);
        EXPECT_EQ(written.find("\xC2\x85"), std::string::npos);
        EXPECT_EQ(written.find("\xE2\x80\xAE"), std::string::npos);
    }
}

TEST(JsonWriter, ShapesNumbersAndNulls) {
    std::string out;
    JsonWriter json(out);
    json.beginObject();
    json.key("empty").beginObject().endObject();
    json.key("list").beginArray();
    json.value(std::int64_t{1}).value("two").null().value(true).value(false);
    json.beginArray().endArray();
    json.beginObject().key("k").value(std::optional<std::int64_t>()).endObject();
    json.endArray();
    json.key("min").value(std::numeric_limits<std::int64_t>::min());
    json.key("max").value(std::numeric_limits<std::int64_t>::max());
    json.key("half").value(12.5);
    json.key("whole").value(10.0);
    json.key("tiny").value(5e-324);
    json.key("nan").value(std::nan(""));
    json.key("inf").value(-std::numeric_limits<double>::infinity());
    json.key("some").value(std::optional<std::string>("x"));
    json.endObject();
    EXPECT_EQ(out, R"({"empty":{},"list":[1,"two",null,true,false,[],{"k":null}],)"
                   R"("min":-9223372036854775808,"max":9223372036854775807,"half":12.5,"whole":10,)"
                   R"("tiny":5e-324,"nan":null,"inf":null,"some":"x"})");
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    ASSERT_EQ(parser.parse(simdjson::padded_string(out)).get(root), simdjson::SUCCESS);
    EXPECT_EQ(double(root["tiny"]), 5e-324);
}

}  // namespace
}  // namespace wren
