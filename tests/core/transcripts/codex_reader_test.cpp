#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"
#include "transcript_files.h"
#include "core/transcripts/transcript_readers.h"

namespace wren {
namespace {

using SessionDiscovery::readCodex;
using testing::codexName;
using testing::jsonl;
using testing::kUuid;
using testing::TempDir;
using testing::unixOf;

constexpr std::string_view kHeaderUuid = "019bf4b5-e7b0-75a0-8bf2-05fbf1b13c9b";
constexpr std::size_t kHead = 96 * 1024;
constexpr std::size_t kRecent = 512 * 1024;

std::string str(std::string_view s) {
    return std::string(s);
}

std::string header(std::string_view members = R"("id":"019bf4b5-e7b0-75a0-8bf2-05fbf1b13c9b")",
                   std::string_view ts = "2025-09-10T08:00:00Z") {
    return R"({"timestamp":")" + str(ts) + R"(","type":"session_meta","payload":{)" + str(members) +
           R"(,"cwd":"/Users/ann/dev/site"}})";
}

std::string message(std::string_view role, std::string_view text,
                    std::string_view ts = "2025-09-10T08:05:00Z") {
    return R"({"timestamp":")" + str(ts) +
           R"(","type":"response_item","payload":{"type":"message","role":")" + str(role) +
           R"(","content":[{"type":"input_text","text":")" + str(text) + R"("}]}})";
}

std::string tokenCount(std::string_view info, std::string_view ts = "2025-09-10T08:06:00Z") {
    return R"({"timestamp":")" + str(ts) +
           R"(","type":"event_msg","payload":{"type":"token_count","info":)" + str(info) + "}}";
}

std::string usage(std::int64_t input) {
    return R"({"last_token_usage":{"input_tokens":)" + std::to_string(input) + "}}";
}

std::optional<SessionSummary> read(std::string_view bytes, const std::string& name = codexName()) {
    TempDir dir;
    return readCodex(dir.write(name, bytes));
}

TEST(CodexReader, WorkedExample) {
    const auto s = read(jsonl({
        header(),
        message("user", "add tests"),
        tokenCount(R"({"last_token_usage":{"input_tokens":48000},"model_context_window":200000})"),
    }));
    ASSERT_TRUE(s);
    // The header names the session, not the file name's UUID.
    EXPECT_EQ(s->id, "codex:" + str(kHeaderUuid));
    EXPECT_EQ(s->nativeID, kHeaderUuid);
    EXPECT_EQ(s->agent, Agent::codex);
    EXPECT_EQ(s->project, "site");
    EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf("2025-09-10T08:06:00Z")));
    EXPECT_EQ(s->lastUserMessage, "add tests");
    EXPECT_EQ(s->turns, 1);
    EXPECT_EQ(s->reportedTokens, 48000);
    EXPECT_EQ(s->contextWindow, 200000);
    EXPECT_FALSE(s->isMeasured);
    EXPECT_FALSE(s->segments.empty());
}

TEST(CodexReader, SessionIdFromTheHeaderOrElseTheFileName) {
    const std::string rest = jsonl({message("user", "hi"), tokenCount(usage(5))});
    struct Case {
        const char* what;
        std::string head;  // lines before `rest`
        std::string name;
        std::optional<std::string> id;
        const char* project;
    };
    const Case cases[] = {
        {"id wins", jsonl({header(R"("id":"H-1","session_id":"S-1")")}), codexName(), "H-1",
         "site"},
        {"session_id without id", jsonl({header(R"("session_id":"S-1")")}), codexName(), "S-1",
         "site"},
        {"id of another type", jsonl({header(R"("id":7,"session_id":"S-1")")}), codexName(), "S-1",
         "site"},
        {"empty id falls back to session_id", jsonl({header(R"("id":"","session_id":"S-2")")}),
         codexName(), "S-2", "site"},
        {"empty ids fall back to the file name", jsonl({header(R"("id":"","session_id":"")")}),
         codexName(), str(kUuid), "site"},
        {"no header", "", codexName(), str(kUuid), "\u2014"},
        {"header without an id", jsonl({header(R"("model":"x")")}), codexName(), str(kUuid),
         "site"},
        {"neither", "", "rollout-2026-01-25T10-32-00.jsonl", std::nullopt, ""},
        {"marker bytes but another type",
         jsonl({R"({"type":"event_msg","payload":{"id":"E-1","note":"session_meta"}})",
                header(R"("id":"H-2")")}),
         codexName(), "H-2", "site"},
        {"header payload that is no object",
         jsonl({R"({"type":"session_meta","payload":"session_meta"})", header(R"("id":"H-3")")}),
         codexName(), "H-3", "site"},
        {"only the first header counts",
         jsonl({header(R"("id":"H-4")"), R"({"type":"session_meta","payload":{"id":"H-5"}})"}),
         codexName(), "H-4", "site"},
    };
    for (const Case& c : cases) {
        const auto s = read(c.head + rest, c.name);
        ASSERT_EQ(s.has_value(), c.id.has_value()) << c.what;
        if (!s) continue;
        EXPECT_EQ(s->nativeID, c.id) << c.what;
        EXPECT_EQ(s->id, "codex:" + *c.id) << c.what;
        EXPECT_EQ(s->project, c.project) << c.what;
    }
}

TEST(CodexReader, HeaderOnlyFromTheFirst96KiB) {
    // A header line padded to `length` bytes before its line feed.
    const auto paddedHeader = [](std::size_t length) {
        const std::string shortest = header(R"("id":"H-9","pad":"")");
        return header(R"("id":"H-9","pad":")" + std::string(length - shortest.size(), 'x') + "\"");
    };
    const std::string rest = jsonl({message("user", "hi"), tokenCount(usage(5))});
    std::string behindFiller;
    testing::padTo(behindFiller, kHead);
    behindFiller += jsonl({header(R"("id":"H-9")")});
    struct Case {
        const char* what;
        std::string head;
        bool found;
    };
    const Case cases[] = {
        {"line feed is the last byte read", jsonl({paddedHeader(kHead - 1)}), true},
        {"line feed one byte too far", jsonl({paddedHeader(kHead)}), false},
        {"behind 96 KiB of other records", behindFiller, false},
    };
    for (const Case& c : cases) {
        const auto s = read(c.head + rest);
        ASSERT_TRUE(s) << c.what;
        EXPECT_EQ(s->nativeID, c.found ? "H-9" : str(kUuid)) << c.what;
        EXPECT_EQ(s->project, c.found ? "site" : "\u2014") << c.what;
    }
}

TEST(CodexReader, TokensFromTheNewestTokenCountThatHasThem) {
    struct Case {
        std::string newest;  // an older token_count reports 7
        std::optional<std::int64_t> tokens;
    };
    const Case cases[] = {
        {tokenCount(usage(48000)), 48000},
        {tokenCount(usage(0)), 0},  // a reported zero is a count, unlike Claude's
        {tokenCount("null"), 7},
        {tokenCount("{}"), 7},
        {tokenCount(R"({"last_token_usage":null})"), 7},
        {tokenCount(R"({"last_token_usage":{"input_tokens":"5"}})"), 7},
        {tokenCount(R"({"last_token_usage":{"input_tokens":12.0}})"), 12},
        {tokenCount(R"({"last_token_usage":{"input_tokens":12.5}})"), 7},
        {tokenCount(R"({"total_token_usage":{"input_tokens":99}})"), 7},
        {R"({"timestamp":"2025-09-10T08:06:00Z","payload":{"type":"turn_context",)"
         R"("info":{"last_token_usage":{"input_tokens":99}}}})",
         7},
        {R"({"timestamp":"2025-09-10T08:06:00Z","info":{"last_token_usage":{"input_tokens":99}}})",
         7},
    };
    for (const Case& c : cases) {
        const auto s = read(jsonl({
            header(),
            tokenCount(usage(7), "2025-09-10T08:01:00Z"),
            message("user", "hi"),
            c.newest,
        }));
        ASSERT_TRUE(s) << c.newest;
        EXPECT_EQ(s->reportedTokens, c.tokens) << c.newest;
    }

    const auto none = read(jsonl({header(), message("user", "hi")}));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->reportedTokens, std::nullopt);
    EXPECT_TRUE(none->segments.empty());
}

TEST(CodexReader, TurnsCountUserMessagesUpToTheStop) {
    struct Case {
        const char* what;
        std::string oldest;  // the record before "first"'s successor
        std::int64_t turns;
    };
    const Case cases[] = {
        {"stop fires at the token count", tokenCount(usage(100), "2025-09-10T08:02:00Z"), 2},
        {"no token count: the whole window", message("assistant", "x", "2025-09-10T08:02:00Z"), 3},
    };
    for (const Case& c : cases) {
        const auto s = read(jsonl({
            header(),
            message("user", "first", "2025-09-10T08:01:00Z"),
            c.oldest,
            message("user", "second", "2025-09-10T08:03:00Z"),
            message("user", "<environment_context>\\n  <cwd>/x</cwd>\\n</environment_context>",
                    "2025-09-10T08:04:00Z"),
            message("assistant", "an answer", "2025-09-10T08:05:00Z"),
            message("developer", "rules", "2025-09-10T08:05:00Z"),
            message("User", "wrong case", "2025-09-10T08:05:00Z"),
            R"({"timestamp":"2025-09-10T08:06:00Z","type":"event_msg",)"
            R"("payload":{"type":"user_message","role":"user","message":"typed"}})",
            // No payload: only its time stamp counts.
            R"({"timestamp":"2025-09-10T08:07:00Z","type":"compacted"})",
        }));
        ASSERT_TRUE(s) << c.what;
        EXPECT_EQ(s->turns, c.turns) << c.what;
        EXPECT_EQ(s->lastUserMessage, "second") << c.what;
        EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf("2025-09-10T08:07:00Z"))) << c.what;
    }
}

TEST(CodexReader, ContextWindowFromAnyPayloadBeforeTheStop) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;  // after the header, oldest first
        std::optional<std::int64_t> window;
    };
    const std::string user = message("user", "hi");
    const Case cases[] = {
        {"in the token count's info",
         {user, tokenCount(R"({"last_token_usage":{"input_tokens":1},"model_context_window":9})")},
         9},
        {"directly in another payload",
         {user, tokenCount(usage(1)),
          R"({"payload":{"type":"turn_context","model_context_window":128000}})"},
         128000},
        {"deep in nested objects",
         {user, tokenCount(usage(1)),
          R"({"payload":{"type":"x","a":{"b":{"c":{"model_context_window":7}}}}})"},
         7},
        {"only inside an array",
         {user, tokenCount(usage(1)), R"({"payload":{"list":[{"model_context_window":7}]}})"},
         std::nullopt},
        {"of the wrong type",
         {user,
          tokenCount(R"({"last_token_usage":{"input_tokens":1},"model_context_window":"9"})")},
         std::nullopt},
        {"outside the payload",
         {user, tokenCount(usage(1)), R"({"model_context_window":7,"payload":{}})"},
         std::nullopt},
        // The scan stops at the user message; the older record is never read for the window.
        {"not waited for",
         {R"({"payload":{"type":"turn_context","model_context_window":128000}})", user,
          tokenCount(usage(1))},
         std::nullopt},
        {"from an older record than the tokens",
         {user, tokenCount(R"({"last_token_usage":{"input_tokens":2},"model_context_window":9})"),
          tokenCount(usage(1))},
         9},
    };
    for (const Case& c : cases) {
        std::string bytes = jsonl({header()});
        for (const auto& line : c.lines) bytes += line + "\n";
        bytes += jsonl({R"({"timestamp":"2025-09-10T09:00:00Z","type":"x"})"});
        const auto s = read(bytes);
        ASSERT_TRUE(s) << c.what;
        EXPECT_EQ(s->contextWindow, c.window) << c.what;
    }
}

TEST(CodexReader, FindIntPrefersADirectKeyAndSkipsArrays) {
    struct Case {
        const char* json;
        std::optional<std::int64_t> found;
    };
    const Case cases[] = {
        {R"({"k":3})", 3},
        {R"({"k":"text","a":{"k":3}})", 3},
        {R"({"a":[{"k":3}]})", std::nullopt},
        {R"({"a":{"k":1},"k":2})", 2},
        {R"({"a":{"b":{"c":{"k":4}}}})", 4},
        {R"({"k":3.5,"a":{"k":6}})", 6},
        {R"({"k":3.0})", 3},
        {R"({"k":null})", std::nullopt},
        {R"({"a":{"k":"3"},"b":{"c":{"k":8}}})", 8},
        {R"([{"k":3}])", std::nullopt},
        {"3", std::nullopt},
        {"{}", std::nullopt},
    };
    simdjson::dom::parser parser;
    for (const Case& c : cases) {
        simdjson::dom::element root;
        ASSERT_EQ(parser.parse(std::string_view(c.json)).get(root), simdjson::SUCCESS) << c.json;
        EXPECT_EQ(SessionDiscovery::findInt("k", root), c.found) << c.json;
    }
}

TEST(CodexReader, MessageFromTheOlderWindowOnlyWhenTheRecentHasNone) {
    // One MiB: the old lines lie in the older window, `recent` at the end of the recent one.
    const auto file = [](std::string_view recent) {
        std::string bytes = jsonl({
            header(),
            message("user", "the real one", "2025-09-10T07:00:00Z"),
            message("assistant", "not a user", "2025-09-10T07:01:00Z"),
            R"({"type":"event_msg","payload":{"type":"user_message","role":"user","message":"x"}})",
            message("user", "<environment_context></environment_context>", "2025-09-10T07:02:00Z"),
        });
        const std::string last =
            str(recent) +
            jsonl({
                message("user", "<user_instructions>x</user_instructions>", "2025-09-10T08:00:00Z"),
                tokenCount(usage(5), "2025-09-10T09:00:00Z"),
            });
        testing::padTo(bytes, 2 * kRecent - last.size());
        return bytes + last;
    };
    const auto s = read(file(""));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lastUserMessage, "the real one");
    EXPECT_EQ(s->turns, 1);
    EXPECT_EQ(s->reportedTokens, 5);
    EXPECT_EQ(s->nativeID, kHeaderUuid);

    const auto t = read(file(jsonl({message("user", "recent", "2025-09-10T07:30:00Z")})));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->lastUserMessage, "recent");
    EXPECT_EQ(t->turns, 2);
}

}  // namespace
}  // namespace wren
