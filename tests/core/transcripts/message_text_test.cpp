#include "core/transcripts/message_text.h"

#include <gtest/gtest.h>

#include <string>

namespace wren {
namespace {

using namespace std::string_literals;
using Text = std::optional<std::string>;

TEST(MessageText, Clean) {
    struct Case {
        std::string input;
        Text expected;
    };
    const Case cases[] = {
        {"<command-name>/clear</command-name>\n<command-message>clear</command-message>",
         std::nullopt},
        {"<local-command-stdout>ok</local-command-stdout> Done", "Done"},
        {"  fix the\n\n  build  ", "fix the build"},
        {"<system-reminder>one\ntwo</system-reminder>Please continue", "Please continue"},
        {"<bash-input>ls</bash-input>", std::nullopt},
        {"<system-reminder>never closed, please", std::nullopt},
        // Tags are case-sensitive.
        {"hi <System-Reminder>x</System-Reminder>", "hi <System-Reminder>x</System-Reminder>"},
        {"<System-Reminder>x</System-Reminder>hi", std::nullopt},
        // Leftmost opening, shortest body, every match.
        {"<system-reminder>a</system-reminder>keep<system-reminder>b</system-reminder>", "keep"},
        {"<system-reminder><system-reminder>a</system-reminder>b</system-reminder>tail",
         "b</system-reminder>tail"},
        {"x<system-reminder>a<system-reminder>b</system-reminder>y", "xy"},
        {"<system-reminder>a</system-reminder>keep<system-reminder>open",
         "keep<system-reminder>open"},
        {"done</system-reminder> now", "done</system-reminder> now"},
        {"a<system-reminder>x</system-reminder>b", "ab"},
        {"<system-reminder-x>a</system-reminder-x>", std::nullopt},
        // Tags are removed one name after the other: reminders first, then command names.
        {"<command-name>a<system-reminder>b</command-name>c</system-reminder>d", std::nullopt},
        {"<command-name><system-reminder>a</system-reminder></command-name>hi", "hi"},
        {"<command-message>m</command-message><local-command-stdout>o</local-command-stdout>go",
         "go"},
        // What remains may not start with markup, but may contain it.
        {"  <system-reminder>a</system-reminder>  <b>x</b>", std::nullopt},
        {"a < b and <b>c</b>", "a < b and <b>c</b>"},
        // Unicode white space folds to one space and is trimmed.
        {"\u00A0 hello\u3000\u3000world\u2028again\t\r\nend \u00A0", "hello world again end"},
        {"a\u2029b\u1680c\u205Fd\u202Fe\u2003f", "a b c d e f"},
        {"a\u200Bb", "a\u200Bb"},  // zero-width space is not white space
        {" \t\r\n\u3000\u00A0", std::nullopt},
        {"", std::nullopt},
        {"<system-reminder>only</system-reminder> \n ", std::nullopt},
        // Bytes that are not text pass through untouched.
        {"a\xff  \xc3(b", "a\xff \xc3(b"},
        {"a\0b"s, "a\0b"s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MessageText::clean(c.input), c.expected) << c.input;
    }
}

// A long message made almost entirely of markup costs one linear pass.
TEST(MessageText, CleansLargeMessages) {
    const std::string block = "<system-reminder>r</system-reminder>";
    std::string many;
    for (int i = 0; i < 100000; ++i) many += block + "w";
    EXPECT_EQ(MessageText::clean(many), std::string(100000, 'w'));

    std::string unclosed = "x";
    for (int i = 0; i < 100000; ++i) unclosed += "<system-reminder>r";
    EXPECT_EQ(MessageText::clean(unclosed), unclosed);

    std::string oneClose;
    for (int i = 0; i < 100000; ++i) oneClose += "<system-reminder>";
    EXPECT_EQ(MessageText::clean(oneClose + "</system-reminder>tail"), "tail");

    EXPECT_EQ(MessageText::clean("a" + std::string(1 << 20, ' ') + "b"), "a b");
}

// The JSON is parsed from literal text, as the readers parse it from a line.
TEST(MessageText, FromClaudeAndCodex) {
    struct Case {
        const char* json;  // nullptr: the content is absent
        Text claude, codex;
    };
    const Case cases[] = {
        {nullptr, std::nullopt, std::nullopt},
        {R"("  fix the\n\n  build ")", "fix the build", std::nullopt},
        {R"("add tests")", "add tests", std::nullopt},
        {R"([{"type":"text","text":"hi"},{"type":"image","source":{}},)"
         R"({"type":"text","text":"there"}])",
         "hi there", "hi there"},
        {R"([{"type":"tool_result","tool_use_id":"x","content":"done"}])", std::nullopt,
         std::nullopt},
        {R"([{"type":"tool_use","text":"ls"}])", std::nullopt, "ls"},
        {R"([{"type":"other","text":"add tests"}])", std::nullopt, "add tests"},
        {R"([{"type":"input_text",)"
         R"("text":"<environment_context>\n  <cwd>/x</cwd>\n</environment_context>"}])",
         std::nullopt, std::nullopt},
        {R"([{"text":"a"},{"type":"text","text":"b"}])", "b", "a b"},
        // Not a list of objects.
        {R"([{"type":"text","text":"hi"},3])", std::nullopt, std::nullopt},
        {R"([{"type":"text","text":"hi"},"there"])", std::nullopt, std::nullopt},
        {R"([{"type":"text","text":"hi"},null])", std::nullopt, std::nullopt},
        {R"([])", std::nullopt, std::nullopt},
        {R"({"type":"text","text":"hi"})", std::nullopt, std::nullopt},
        {"42", std::nullopt, std::nullopt},
        {"null", std::nullopt, std::nullopt},
        {"true", std::nullopt, std::nullopt},
        // Elements without a usable text are passed over.
        {R"([{"type":"text"},{"type":"text","text":7},{"type":"text","text":"x"}])", "x", "x"},
        {R"([{"type":"TEXT","text":"x"}])", std::nullopt, "x"},
        // Elements are joined before cleaning, so one block may span two of them.
        {R"([{"type":"text","text":"<system-reminder>a"},)"
         R"({"type":"text","text":"b</system-reminder>go"}])",
         "go", "go"},
        {R"([{"type":"text","text":"<system-reminder>a</system-reminder>"},)"
         R"({"type":"text","text":"go on"}])",
         "go on", "go on"},
        {R"("caf\u00e9 \u3000 ok")", "caf\u00e9 ok", std::nullopt},
    };
    simdjson::dom::parser parser;
    for (const Case& c : cases) {
        std::optional<simdjson::dom::element> content;
        if (c.json != nullptr) {
            simdjson::dom::element element;
            ASSERT_EQ(parser.parse(std::string(c.json)).get(element), simdjson::SUCCESS) << c.json;
            content = element;
        }
        const char* name = c.json != nullptr ? c.json : "(absent)";
        EXPECT_EQ(MessageText::fromClaude(content), c.claude) << name;
        EXPECT_EQ(MessageText::fromCodex(content), c.codex) << name;
    }
}

}  // namespace
}  // namespace wren
