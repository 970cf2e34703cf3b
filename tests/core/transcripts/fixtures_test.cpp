#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "real_transcripts.h"
#include "temp_dir.h"
#include "transcript_files.h"
#include "core/transcripts/transcript_readers.h"

// Transcripts written by the real agents. The expected values were worked out by reading each
// file's records by hand, newest first, the way the readers are meant to: the stop test, the
// turns met before it, the three token fields, the cleaned message, the folder of the working
// directory, the newest stamp of a record that is not a sidechain.

namespace wren {
namespace {

using testing::unixOf;

struct Expected {
    const char* file;  // under the fixtures' real/ folder
    Agent agent;
    const char* nativeID;  // nullptr: the UUID of the name the test gives the copy
    const char* project;
    const char* lastActivity;
    const char* message;  // the whole text, or its start when `length` is set
    std::size_t length;   // bytes of a long message; 0 when `message` is all of it
    std::int64_t turns;
    std::optional<std::int64_t> tokens;
    std::optional<std::int64_t> contextWindow;
};

const Expected kExpected[] = {
    // The newest user record carries a list with a bare text in it: no message; the special
    // characters come from two user records further up, where the usage of 168 was known.
    {"claude/ccl-edge_cases.jsonl", Agent::claude, nullptr, "tmp", "2025-06-14T11:03:01Z",
     "Testing special characters: caf\u00e9, na\u00efve, r\u00e9sum\u00e9, \u4e2d\u6587, "
     "\u0627\u0644\u0639\u0631\u0628\u064a\u0629, \u0440\u0443\u0441\u0441\u043a\u0438\u0439, "
     "\U0001F389 emojis \U0001F680 and symbols \u2211\u2206\u221a\u03c0\u221e",
     0, 2, 168, std::nullopt},
    {"claude/ccl-representative_messages.jsonl", Agent::claude, nullptr, "tmp",
     "2025-06-14T10:04:00Z",
     "This is really helpful! Let me try to implement a timing decorator myself. Can you help "
     "me if I get stuck?",
     0, 1, 45, std::nullopt},
    {"claude/ccl-session_b.jsonl", Agent::claude, nullptr, "tmp", "2025-06-14T12:01:00Z",
     "Perfect! This should appear without any session divider above it.", 0, 1, 20, std::nullopt},
    // The two newest user records are only command markup; the compaction summary before them
    // is the message (its line breaks folded), and 10 + 13522 + 2128 the tokens.
    {"claude/compact.jsonl", Agent::claude, nullptr, "studio", "2025-10-10T21:57:52.066Z",
     "This session is being continued from a previous conversation that ran out of context. "
     "The conversation is summarized below: Analysis: Let me analyze the conversation "
     "chronologically: 1. **Message 1**:",
     2135, 3, 15660, std::nullopt},
    // Nine tool results and the first prompt: 0 + 17573 + 322 tokens from the last record.
    {"claude/crud.jsonl", Agent::claude, nullptr, "claudecode", "2025-10-12T21:36:39.886Z",
     "create a file `JOKE.md` with a ranom joke with a title and a footer wiht some random "
     "text, then read this file, then make change to the file, then delete this file.",
     0, 10, 17895, std::nullopt},
    // An 830 KB screenshot line straddles the start of the last 512 KiB: no user record is
    // left in the recent window, so the prompt comes from the older one and no turn counts.
    {"claude/images.jsonl", Agent::claude, nullptr, "vibeinsights", "2026-01-10T15:02:45.165Z",
     "go to google.com, make a screenshoot, look at it, and tell me what you think", 0, 0, 25786,
     std::nullopt},
    // The subagent's prompt and reply are sidechain records and count for nothing.
    {"claude/subagent.jsonl", Agent::claude, nullptr, "studio", "2025-10-10T21:55:20.440Z",
     "ask a subagent how he's doing", 0, 2, 16029, std::nullopt},
    {"claude/todos.jsonl", Agent::claude, nullptr, "claudecode", "2025-10-12T21:40:49.323Z",
     "create a todo list with 3 items, then check off each step by step then clear it", 0, 6, 15718,
     std::nullopt},
    // The header names the session; the user_message events are no message payloads.
    {"codex/crud.jsonl", Agent::codex, "019bf4b5-e7b0-75a0-8bf2-05fbf1b13c9b", "fixtures",
     "2026-01-25T10:32:11.490Z",
     "create a file `JOKE.md` with a random joke with a title and a footer with some random "
     "text, then read this file, then make change to the file, then delete the file.",
     0, 1, 9680, 258400},
    {"codex/images.jsonl", Agent::codex, "019c16bd-a0fc-7293-855d-2948ce5dc471", "agentlogs",
     "2026-02-01T01:09:28.248Z", "commit", 0, 1, 19957, 258400},
};

TEST(RealTranscripts, ReadAsTheirRecordsSay) {
    const auto found = testing::realTranscripts();
    if (!found) GTEST_SKIP() << testing::kNoRealTranscripts;
    const std::filesystem::path& real = *found;
    // Every file there has a row: a new fixture without one fails here.
    std::size_t files = 0;
    for (const char* agent : {"claude", "codex"}) {
        for (const auto& entry : std::filesystem::directory_iterator(real / agent)) {
            files += entry.path().extension() == ".jsonl";
        }
    }
    EXPECT_EQ(files, std::size(kExpected));

    for (const Expected& e : kExpected) {
        testing::TempDir dir;
        const std::string name =
            e.agent == Agent::claude ? testing::claudeName() : testing::codexName();
        const auto copy = dir / name;
        std::filesystem::copy_file(real / e.file, copy);
        testing::setModified(copy, unixOf(e.lastActivity));
        const auto s = e.agent == Agent::claude ? SessionDiscovery::readClaude(copy)
                                                : SessionDiscovery::readCodex(copy);
        ASSERT_TRUE(s) << e.file;
        const std::string nativeID = e.nativeID ? e.nativeID : std::string(testing::kUuid);
        EXPECT_EQ(s->nativeID, nativeID) << e.file;
        EXPECT_EQ(s->id, std::string(idPrefix(e.agent)) + nativeID) << e.file;
        EXPECT_EQ(s->agent, e.agent) << e.file;
        EXPECT_EQ(s->project, e.project) << e.file;
        EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf(e.lastActivity))) << e.file;
        ASSERT_TRUE(s->lastUserMessage) << e.file;
        if (e.length == 0) {
            EXPECT_EQ(*s->lastUserMessage, e.message) << e.file;
        } else {
            EXPECT_EQ(s->lastUserMessage->substr(0, std::string_view(e.message).size()), e.message)
                << e.file;
            EXPECT_EQ(s->lastUserMessage->size(), e.length) << e.file;
        }
        EXPECT_EQ(s->turns, e.turns) << e.file;
        EXPECT_EQ(s->reportedTokens, e.tokens) << e.file;
        EXPECT_EQ(s->contextWindow, e.contextWindow) << e.file;
        EXPECT_EQ(s->totalTokens(), e.tokens.value_or(0)) << e.file;
        EXPECT_EQ(s->segments.empty(), !e.tokens) << e.file;
        EXPECT_FALSE(s->isMeasured) << e.file;
    }
}

// What the newest records say about the last turn. Claude Code 2.0.x ends a turn with a text
// block whose stop_reason is null, exactly like one that goes on: unknown. 2.1.3 with a stop hook
// writes stop_hook_summary. The hand-made 1.0.0 files end on a prompt (the turn it opens is open),
// Codex 0.89 in exec mode writes no task events at all, and /compact leaves a local command.
TEST(RealTranscripts, TurnStateAsTheNewestRecordsSay) {
    const auto found = testing::realTranscripts();
    if (!found) GTEST_SKIP() << testing::kNoRealTranscripts;
    const struct {
        const char* file;
        TurnState turn;
    } cases[] = {
        {"claude/ccl-edge_cases.jsonl", TurnState::open},
        {"claude/ccl-representative_messages.jsonl", TurnState::open},
        {"claude/ccl-session_b.jsonl", TurnState::open},
        {"claude/compact.jsonl", TurnState::unknown},
        {"claude/crud.jsonl", TurnState::unknown},
        {"claude/images.jsonl", TurnState::ended},
        {"claude/subagent.jsonl", TurnState::unknown},
        {"claude/todos.jsonl", TurnState::unknown},
        {"codex/crud.jsonl", TurnState::unknown},
        {"codex/images.jsonl", TurnState::unknown},
    };
    for (const auto& c : cases) {
        testing::TempDir dir;
        const bool claude = std::string_view(c.file).starts_with("claude/");
        const auto copy = dir / (claude ? testing::claudeName() : testing::codexName());
        std::filesystem::copy_file(*found / c.file, copy);
        const auto s =
            claude ? SessionDiscovery::readClaude(copy) : SessionDiscovery::readCodex(copy);
        ASSERT_TRUE(s) << c.file;
        EXPECT_EQ(s->turn, c.turn) << c.file;
    }
}

}  // namespace
}  // namespace wren
