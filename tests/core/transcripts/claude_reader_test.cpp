#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"
#include "transcript_files.h"
#include "core/transcripts/snr_estimate.h"
#include "core/transcripts/transcript_readers.h"

namespace wren {
namespace {

using SessionDiscovery::readClaude;
using testing::claudeName;
using testing::jsonl;
using testing::kUuid;
using testing::TempDir;
using testing::unixOf;

constexpr std::size_t kRecent = 512 * 1024;
constexpr std::size_t kFourMiB = 4 * 1024 * 1024;

std::string str(std::string_view s) {
    return std::string(s);
}

// A user record; `more` is spliced in front of the other members (e.g. "\"isMeta\":true,").
std::string user(std::string_view content, std::string_view ts = "2025-09-10T08:00:00Z",
                 std::string_view more = "") {
    return R"({"type":"user",)" + str(more) + R"("cwd":"/work/proj","timestamp":")" + str(ts) +
           R"(","message":{"role":"user","content":)" + str(content) + "}}";
}

std::string assistant(std::string_view usage, std::string_view ts = "2025-09-10T09:00:00Z",
                      std::string_view more = "") {
    return R"({"type":"assistant",)" + str(more) + R"("cwd":"/work/proj","timestamp":")" + str(ts) +
           R"(","message":{"role":"assistant","content":[{"type":"text","text":"ok"}],)" +
           R"("usage":{)" + str(usage) + "}}}";
}

constexpr std::string_view kToolResult =
    R"([{"type":"tool_result","tool_use_id":"t1","content":"done"}])";

std::optional<SessionSummary> read(std::string_view bytes) {
    TempDir dir;
    return readClaude(dir.write(claudeName(), bytes));
}

TEST(ClaudeReader, WorkedExample) {
    const std::string bytes = jsonl({
        R"({"type":"user","cwd":"/Users/ann/dev/proj","timestamp":"2025-09-10T08:15:00Z",)"
        R"("message":{"role":"user","content":"hello"}})",
        R"({"type":"assistant","cwd":"/Users/ann/dev/proj","timestamp":"2025-09-10T08:15:30.250Z",)"
        R"("message":{"role":"assistant","content":[{"type":"text","text":"hi"}],)"
        R"("usage":{"input_tokens":10,"cache_read_input_tokens":20000,)"
        R"("cache_creation_input_tokens":500,"output_tokens":4321}}})",
    });
    const auto s = read(bytes);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->id, "claude:" + str(kUuid));
    EXPECT_EQ(s->nativeID, kUuid);
    EXPECT_EQ(s->agent, Agent::claude);
    EXPECT_EQ(s->project, "proj");
    EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf("2025-09-10T08:15:30.250Z")));
    EXPECT_EQ(s->lastUserMessage, "hello");
    EXPECT_EQ(s->turns, 1);
    EXPECT_EQ(s->reportedTokens, 20510);
    EXPECT_EQ(s->contextWindow, std::nullopt);
    EXPECT_FALSE(s->isMeasured);
    // The estimate is seeded with the session's own id and the turns counted here.
    const auto expected = SNREstimate::segments(20510, 1, kUuid);
    ASSERT_EQ(s->segments.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(s->segments[i].id, expected[i].id);
        EXPECT_EQ(s->segments[i].tokens, expected[i].tokens);
    }
}

TEST(ClaudeReader, NoSummaryWithoutUuidNameOrUsableTimeStamp) {
    const std::string good = jsonl({user(R"("hello")"), assistant(R"("input_tokens":5)")});
    const std::string side = R"("isSidechain":true,)";
    struct Case {
        const char* what;
        std::string name;
        std::string bytes;
    };
    const Case cases[] = {
        {"name without a UUID", "notes.jsonl", good},
        {"UUID one digit short", "0a1b2c3d-0000-4000-8000-00000000abc.jsonl", good},
        {"empty file", claudeName(), ""},
        {"only sidechain records", claudeName(),
         jsonl({user(R"("hello")", "2025-09-10T08:00:00Z", side),
                assistant(R"("input_tokens":5)", "2025-09-10T09:00:00Z", side)})},
        {"no record has a time stamp", claudeName(),
         jsonl({R"({"type":"user","cwd":"/a","message":{"content":"hello"}})"})},
        {"time stamps that are no time", claudeName(),
         jsonl({user(R"("hello")", "yesterday"), user(R"("hello")", "2025-09-10 08:00:00"),
                R"({"type":"user","timestamp":1757492130,"message":{"content":"x"}})"})},
        {"no line is a JSON object", claudeName(), jsonl({"[1,2]", "\"text\"", "42", "{oops"})},
    };
    for (const Case& c : cases) {
        TempDir dir;
        EXPECT_FALSE(readClaude(dir.write(c.name, c.bytes))) << c.what;
    }
}

TEST(ClaudeReader, SidechainRecordsAreIgnoredCompletely) {
    const std::string side = R"("isSidechain":true,)";
    const auto s = read(jsonl({
        user(R"("main question")", "2025-09-10T08:00:00Z"),
        assistant(R"("input_tokens":300)", "2025-09-10T08:01:00Z"),
        // Newer than everything above, but written by a subagent.
        user(R"("subagent prompt")", "2025-09-10T09:00:00Z", side),
        R"({"type":"assistant","isSidechain":true,"cwd":"/elsewhere","timestamp":)"
        R"("2025-09-10T09:01:00Z","message":{"usage":{"input_tokens":999}}})",
        // Only a Boolean true marks a sidechain.
        R"({"type":"user","isSidechain":"true","timestamp":"2025-09-10T08:02:00Z",)"
        R"("message":{"content":"not a sidechain"}})",
    }));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf("2025-09-10T08:02:00Z")));
    EXPECT_EQ(s->lastUserMessage, "not a sidechain");
    EXPECT_EQ(s->project, "proj");
    EXPECT_EQ(s->reportedTokens, 300);
    EXPECT_EQ(s->turns, 1);
}

TEST(ClaudeReader, TokensComeFromTheNewestPositiveUsage) {
    struct Case {
        const char* usage;  // of the newest record; an older one sums to 7
        std::optional<std::int64_t> tokens;
    };
    const Case cases[] = {
        {R"("input_tokens":4,"cache_read_input_tokens":5,"cache_creation_input_tokens":6)", 15},
        {R"("input_tokens":0,"cache_read_input_tokens":0,"cache_creation_input_tokens":0)", 7},
        {"", 7},
        {R"("output_tokens":900)", 7},
        {R"("cache_creation_input_tokens":12)", 12},
        {R"("input_tokens":5,"cache_read_input_tokens":-10)", 7},
        {R"("input_tokens":1.5,"cache_read_input_tokens":2)", 2},
        {R"("input_tokens":"10","cache_read_input_tokens":3)", 3},
        {R"("input_tokens":null,"cache_read_input_tokens":true)", 7},
        {R"("input_tokens":20.0)", 20},
    };
    for (const Case& c : cases) {
        const auto s = read(jsonl({
            assistant(R"("input_tokens":7)", "2025-09-10T08:00:00Z"),
            user(R"("hello")", "2025-09-10T08:30:00Z"),
            assistant(c.usage, "2025-09-10T09:00:00Z"),
        }));
        ASSERT_TRUE(s) << c.usage;
        EXPECT_EQ(s->reportedTokens, c.tokens) << c.usage;
    }

    // Usage that is no object, and no usage at all: tokens stay absent, so does the estimate.
    const auto none = read(jsonl({
        R"({"type":"assistant","timestamp":"2025-09-10T08:00:00Z","message":{"usage":12}})",
        R"({"type":"assistant","timestamp":"2025-09-10T08:00:00Z","usage":{"input_tokens":9}})",
        user(R"("hello")", "2025-09-10T08:30:00Z"),
    }));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->reportedTokens, std::nullopt);
    EXPECT_TRUE(none->segments.empty());
}

TEST(ClaudeReader, TurnsCountUpToTheRecordWhereTheScanStops) {
    const std::string meta = R"("isMeta":true,)";
    struct Case {
        const char* what;
        std::string firstUsage;  // of the oldest assistant record
        std::int64_t turns;
        const char* message;
    };
    const Case cases[] = {
        // The usage two records below "second" completes the four values: "first" is never met.
        {"stop fires", R"("input_tokens":100)", 2, "second"},
        // Without any usage the whole window is scanned.
        {"stop never fires", R"("output_tokens":100)", 3, "second"},
    };
    for (const Case& c : cases) {
        const auto s = read(jsonl({
            user(R"("first")", "2025-09-10T08:00:00Z"),
            assistant(c.firstUsage, "2025-09-10T08:01:00Z"),
            user(R"("second")", "2025-09-10T08:02:00Z"),
            user(str(kToolResult), "2025-09-10T08:03:00Z"),
            user(R"("meta text")", "2025-09-10T08:04:00Z", meta),
            R"({"type":"system","cwd":"/work/proj","timestamp":"2025-09-10T08:05:00Z"})",
        }));
        ASSERT_TRUE(s) << c.what;
        EXPECT_EQ(s->turns, c.turns) << c.what;
        EXPECT_EQ(s->lastUserMessage, c.message) << c.what;
        EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf("2025-09-10T08:05:00Z"))) << c.what;
    }
}

TEST(ClaudeReader, ProjectFromTheNewestRecordWithACwd) {
    struct Case {
        const char* newest;  // members of the newest record
        const char* project;
    };
    // The older record has "cwd": "/home/ann/older".
    const Case cases[] = {
        {R"("cwd":"/home/ann/site")", "site"},
        {R"("cwd":"/home/ann/site/")", "site"},
        {R"("cwd":"/")", "/"},
        {R"("cwd":"relative")", "relative"},
        {R"("cwd":"")", "\u2014"},  // an empty text is a known, empty directory
        {R"("cwd":42)", "older"},
        {R"("cwd":null)", "older"},
        {R"("other":1)", "older"},
    };
    for (const Case& c : cases) {
        const auto s = read(jsonl({
            R"({"type":"user","cwd":"/home/ann/older","timestamp":"2025-09-10T08:00:00Z",)"
            R"("message":{"content":"hi"}})",
            std::string(R"({"type":"assistant",)") + c.newest +
                R"(,"timestamp":"2025-09-10T09:00:00Z","message":{"usage":{"input_tokens":1}}})",
        }));
        ASSERT_TRUE(s) << c.newest;
        EXPECT_EQ(s->project, c.project) << c.newest;
    }
    const auto none = read(jsonl({R"({"type":"user","timestamp":"2025-09-10T08:00:00Z"})"}));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->project, "\u2014");

    // Time, message and tokens are known early; the scan goes on until a directory turns up,
    // counting the user records on the way.
    const auto far = read(jsonl({
        R"({"type":"system","cwd":"/home/ann/far","timestamp":"2025-09-10T07:00:00Z"})",
        R"({"type":"user","timestamp":"2025-09-10T07:30:00Z","message":{"content":"older"}})",
        R"({"type":"user","timestamp":"2025-09-10T08:00:00Z","message":{"content":"hi"}})",
        R"({"type":"assistant","timestamp":"2025-09-10T09:00:00Z",)"
        R"("message":{"usage":{"input_tokens":1}}})",
    }));
    ASSERT_TRUE(far);
    EXPECT_EQ(far->project, "far");
    EXPECT_EQ(far->turns, 2);
    EXPECT_EQ(far->lastUserMessage, "hi");
}

TEST(ClaudeReader, LastActivityFromTheNewestParsableStamp) {
    struct Case {
        const char* newest;  // the newest record's "timestamp" member, or none
        const char* expected;
    };
    // The record before it is stamped 2025-09-10T08:00:00Z.
    const Case cases[] = {
        {R"("timestamp":"2025-09-10T09:00:00.125Z")", "2025-09-10T09:00:00.125Z"},
        {R"("timestamp":"2025-09-10T11:00:00+02:00")", "2025-09-10T09:00:00Z"},
        {R"("timestamp":"2025-09-10T11:00:00.5+02:00")", "2025-09-10T09:00:00.5Z"},
        {R"("timestamp":"2025-09-10T09:00:00")", "2025-09-10T08:00:00Z"},
        {R"("timestamp":"2025-13-10T09:00:00Z")", "2025-09-10T08:00:00Z"},
        {R"("timestamp":"")", "2025-09-10T08:00:00Z"},
        {R"("timestamp":1757494800)", "2025-09-10T08:00:00Z"},
        {R"("stamp":"2025-09-10T09:00:00Z")", "2025-09-10T08:00:00Z"},
    };
    for (const Case& c : cases) {
        const auto s = read(jsonl({
            user(R"("hello")", "2025-09-10T08:00:00Z"),
            std::string(R"({"type":"summary",)") + c.newest + "}",
        }));
        ASSERT_TRUE(s) << c.newest;
        EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf(c.expected))) << c.newest;
    }
}

TEST(ClaudeReader, MessageFromTheNewestUserRecordWithText) {
    struct Case {
        std::string newest;  // the newest record; an older user record says "older"
        std::optional<std::string> message;
    };
    const Case cases[] = {
        {user(R"([{"type":"text","text":"look at"},{"type":"image","source":{}},)"
              R"({"type":"text","text":"this\n\n  image"}])"),
         "look at this image"},
        {user(R"("<system-reminder>\nquiet\n</system-reminder>\n  fix the build  ")"),
         "fix the build"},
        {user(R"("<command-name>/clear</command-name>\n<command-message>clear</command-message>")"),
         "older"},
        {user(str(kToolResult)), "older"},
        {user(R"(["just text"])"), "older"},
        {user("null"), "older"},
        {R"({"type":"user","timestamp":"2025-09-10T09:00:00Z","message":"hello"})", "older"},
        {R"({"type":"user","timestamp":"2025-09-10T09:00:00Z","content":"hello"})", "older"},
        {R"({"type":"assistant","timestamp":"2025-09-10T09:00:00Z","message":{"content":"x"}})",
         "older"},
        {R"({"type":"User","timestamp":"2025-09-10T09:00:00Z","message":{"content":"x"}})",
         "older"},
    };
    for (const Case& c : cases) {
        const auto s = read(jsonl({user(R"("older")"), c.newest}));
        ASSERT_TRUE(s) << c.newest;
        EXPECT_EQ(s->lastUserMessage, c.message) << c.newest;
    }
}

// A file whose first line is a user message "old text", then filler, then a newest record that
// gives time, directory and tokens. `size` is the whole file's length.
std::string oldMessageThenFiller(std::size_t size, std::string_view recentLines = "") {
    std::string bytes = jsonl({user(R"("old text")", "2025-09-10T07:00:00Z")});
    const std::string tail =
        str(recentLines) + jsonl({assistant(R"("input_tokens":42)", "2025-09-10T09:00:00Z")});
    testing::padTo(bytes, size - tail.size());
    return bytes + tail;
}

TEST(ClaudeReader, OlderWindowOnlyWhenTheRecentOneHasNoMessage) {
    const std::size_t oldLine = user(R"("old text")", "2025-09-10T07:00:00Z").size() + 1;
    const std::string textless = jsonl({user(str(kToolResult), "2025-09-10T08:00:00Z")});
    const std::string recentText = jsonl({user(R"("new text")", "2025-09-10T08:00:00Z")});
    struct Case {
        const char* what;
        std::size_t size;
        std::string recent;
        std::optional<std::string> message;
        std::int64_t turns;
    };
    const Case cases[] = {
        {"whole file fits the recent window", kRecent, "", "old text", 1},
        // The recent window begins right after the old line's line feed.
        {"old line wholly in the older window", kRecent + oldLine, "", "old text", 0},
        // Its line feed falls into the recent window: the older window holds it unterminated.
        {"old line cut by the boundary", kRecent + oldLine - 1, "", std::nullopt, 0},
        {"recent message without text", kRecent + oldLine, textless, "old text", 1},
        {"recent message wins", kRecent + oldLine, recentText, "new text", 1},
        {"older window reaches the first byte", kFourMiB, "", "old text", 0},
        {"one byte more and it does not", kFourMiB + 1, "", std::nullopt, 0},
    };
    for (const Case& c : cases) {
        const std::string bytes = oldMessageThenFiller(c.size, c.recent);
        ASSERT_EQ(bytes.size(), c.size) << c.what;
        const auto s = read(bytes);
        ASSERT_TRUE(s) << c.what;
        EXPECT_EQ(s->lastUserMessage, c.message) << c.what;
        EXPECT_EQ(s->turns, c.turns) << c.what;
        EXPECT_EQ(s->reportedTokens, 42) << c.what;
        EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf("2025-09-10T09:00:00Z"))) << c.what;
    }
}

TEST(ClaudeReader, OlderWindowSkipsWhatTheRecentScanSkips) {
    std::string bytes = jsonl({
        user(R"("the real one")", "2025-09-10T07:00:00Z"),
        user(R"("meta")", "2025-09-10T07:01:00Z", R"("isMeta":true,)"),
        user(R"("subagent")", "2025-09-10T07:02:00Z", R"("isSidechain":true,)"),
        // Holds the marker bytes but is no user record.
        R"({"type":"assistant","message":{"role":"user","content":"not from a user record"}})",
        user(str(kToolResult), "2025-09-10T07:03:00Z"),
        "{\"type\":\"user\", broken",
    });
    const std::string last = jsonl({assistant(R"("input_tokens":1)")});
    testing::padTo(bytes, 2 * kRecent - last.size());
    const auto s = read(bytes + last);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lastUserMessage, "the real one");
    EXPECT_EQ(s->turns, 0);
}

TEST(SessionIdentity, UuidIsTheFirstUuidShapedRun) {
    struct Case {
        std::string text;
        std::optional<std::string> uuid;
    };
    const std::string u = "0a1b2c3d-0000-4000-8000-00000000abcd";
    const Case cases[] = {
        {u + ".jsonl", u},
        {u, u},
        {"rollout-2025-09-10T10-30-00-" + u + ".jsonl", u},
        {"session-2025-09-10T10-30-00-" + u + ".jsonl", u},
        {"AB12CD34-EF56-7890-ABCD-EF1234567890.jsonl", "AB12CD34-EF56-7890-ABCD-EF1234567890"},
        {"x" + u + u, u},
        {u.substr(0, 35), std::nullopt},  // 35 bytes
        {u.substr(0, 35) + ".", std::nullopt},
        {"0a1b2c3d_0000-4000-8000-00000000abcd.jsonl", std::nullopt},
        {"0a1b2c3d-0000-4000-8000-00000000abcg.jsonl", std::nullopt},
        {"0a1b2c3d-00000-400-8000-00000000abcd.jsonl", std::nullopt},
        // A longer hex run before the first dash: the match starts one byte later.
        {"f" + u, u},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(SessionDiscovery::uuid(c.text), c.uuid) << c.text;
}

TEST(SessionIdentity, ProjectNameIsTheLastPathComponent) {
    struct Case {
        std::optional<std::string_view> path;
        const char* project;
    };
    const Case cases[] = {
        {"/Users/ann/dev/site", "site"},
        {"/a/b/", "b"},
        {"/a/b//", "b"},
        {"a", "a"},
        {"/", "/"},
        {"/a", "a"},
        {"", "\u2014"},
        {std::nullopt, "\u2014"},
        {"/srv/my app", "my app"},
        {"/tmp/\u00e9t\u00e9", "\u00e9t\u00e9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SessionDiscovery::projectName(c.path), c.project) << c.path.value_or("(none)");
    }
}

}  // namespace
}  // namespace wren
