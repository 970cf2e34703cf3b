#include "core/transcripts/activity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"
#include "transcript_files.h"
#include "core/transcripts/transcript_readers.h"

namespace wren {
namespace {

using testing::TempDir;

std::string str(std::string_view s) {
    return std::string(s);
}

std::string lines(const std::vector<std::string>& records) {
    std::string out;
    for (const std::string& record : records) out += record + "\n";
    return out;
}

TEST(Activity, WorkingOnlyWhileAnOpenTurnIsFresh) {
    const Instant written = instantFromUnix(1'000'000);
    const struct {
        TurnState turn;
        double secondsLater;
        Activity expected;
    } cases[] = {
        {TurnState::open, 0, Activity::working},
        {TurnState::open, 60, Activity::working},
        {TurnState::open, 60.5, Activity::idle},
        {TurnState::open, -30, Activity::working},  // a record stamped ahead of our clock
        {TurnState::ended, 0, Activity::finished},
        {TurnState::ended, 86400, Activity::finished},
        {TurnState::unknown, 0, Activity::idle},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(activityOf(c.turn, written, written + Seconds(c.secondsLater)), c.expected)
            << static_cast<int>(c.turn) << " after " << c.secondsLater;
    }
    EXPECT_EQ(activityName(Activity::working), "working");
    EXPECT_EQ(activityName(Activity::finished), "finished");
    EXPECT_EQ(activityName(Activity::idle), "idle");
}

// Claude records, oldest first.
std::string claudeRecord(std::string_view type, std::string_view members) {
    return R"({"type":")" + str(type) +
           R"(","cwd":"/w/p","timestamp":"2026-03-01T10:00:00Z","isSidechain":false,)" +
           str(members) + "}";
}
std::string prompt(std::string_view text = "fix it") {
    return claudeRecord("user", R"("message":{"role":"user","content":")" + str(text) + "\"}");
}
std::string reply(std::string_view stopReason,
                  std::string_view items = R"({"type":"text","text":"ok"})") {
    return claudeRecord("assistant", R"("message":{"role":"assistant","stop_reason":)" +
                                         str(stopReason) + R"(,"content":[)" + str(items) + "]}");
}
std::string systemRecord(std::string_view subtype) {
    return claudeRecord("system", R"("subtype":")" + str(subtype) + "\"");
}
const std::string kToolUse = R"({"type":"tool_use","id":"t1","name":"Bash","input":{}})";
const std::string kToolResult = claudeRecord(
    "user",
    R"("message":{"role":"user","content":[{"type":"tool_result","tool_use_id":"t1","content":"ok"}]})");

TEST(Activity, ClaudeTurnFromTheNewestRecordThatTells) {
    const struct {
        const char* what;
        std::vector<std::string> records;
        TurnState expected;
    } cases[] = {
        {"turn_duration",
         {prompt(), reply("null"), systemRecord("turn_duration")},
         TurnState::ended},
        {"stop hook",
         {prompt(), reply("null"), systemRecord("stop_hook_summary")},
         TurnState::ended},
        {"end_turn", {prompt(), reply(R"("end_turn")")}, TurnState::ended},
        {"marker under records that say nothing",
         {prompt(), reply(R"("end_turn")"), systemRecord("compact_boundary"),
          R"({"type":"file-history-snapshot","snapshot":{}})",
          R"({"type":"summary","summary":"s"})",
          claudeRecord("user", R"("isMeta":true,"message":{"role":"user","content":"caveat"})")},
         TurnState::ended},
        {"new prompt after an ended turn", {reply(R"("end_turn")"), prompt()}, TurnState::open},
        {"tool call pending", {prompt(), reply("null", kToolUse)}, TurnState::open},
        {"tool result back", {prompt(), reply("null", kToolUse), kToolResult}, TurnState::open},
        {"streamed text block: cannot tell", {prompt(), reply("null")}, TurnState::unknown},
        {"interrupted",
         {prompt(), reply("null", kToolUse), prompt("[Request interrupted by user]")},
         TurnState::unknown},
        {"slash command output",
         {reply(R"("end_turn")"), prompt("<command-name>/clear</command-name>"),
          prompt("<local-command-stdout></local-command-stdout>")},
         TurnState::unknown},
        {"subagent records do not count",
         {prompt(), reply(R"("end_turn")"),
          R"({"type":"user","isSidechain":true,"timestamp":"2026-03-01T10:00:00Z","message":{"role":"user","content":"sub"}})"},
         TurnState::ended},
        {"a prompt that quotes a marker is a prompt",
         {reply(R"("end_turn")"), prompt(R"(why is \"subtype\":\"turn_duration\" there)")},
         TurnState::open},
        {"nothing that tells", {R"({"type":"summary","summary":"s"})"}, TurnState::unknown},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto s =
            SessionDiscovery::readClaude(dir.write(testing::claudeName(), lines(c.records)));
        ASSERT_TRUE(s || c.expected == TurnState::unknown) << c.what;
        if (s) EXPECT_EQ(s->turn, c.expected) << c.what;
    }
}

// Codex records, oldest first.
std::string codexRecord(std::string_view type, std::string_view payload) {
    return R"({"timestamp":"2026-03-01T10:00:00Z","type":")" + str(type) + R"(","payload":)" +
           str(payload) + "}";
}
std::string event(std::string_view type) {
    return codexRecord("event_msg", R"({"type":")" + str(type) + "\"}");
}
std::string codexPrompt(std::string_view text = "fix it") {
    return codexRecord(
               "response_item",
               R"({"type":"message","role":"user","content":[{"type":"input_text","text":")" +
                   str(text) + "\"}]}") +
           "\n" +
           codexRecord("event_msg", R"({"type":"user_message","message":")" + str(text) + "\"}");
}
std::string codexAnswer() {
    return codexRecord(
               "response_item",
               R"({"type":"message","role":"assistant","content":[{"type":"output_text","text":"done"}]})") +
           "\n" +
           codexRecord("event_msg",
                       R"({"type":"token_count","info":{"last_token_usage":{"input_tokens":9}}})");
}

TEST(Activity, CodexTurnFromItsTaskEvents) {
    const std::string meta = codexRecord(
        "session_meta", R"({"id":"019bf4b5-e7b0-75a0-8bf2-05fbf1b13c9b","cwd":"/w/p"})");
    const struct {
        const char* what;
        std::vector<std::string> records;
        TurnState expected;
    } cases[] = {
        {"complete after the last message",
         {meta, event("task_started"), codexPrompt(), codexAnswer(), event("task_complete")},
         TurnState::ended},
        {"started, answering",
         {meta, event("task_started"), codexPrompt(), codexAnswer()},
         TurnState::open},
        {"a new message after a completed task",
         {meta, event("task_started"), codexPrompt(), event("task_complete"), codexPrompt("more")},
         TurnState::open},
        {"aborted",
         {meta, event("task_started"), codexPrompt(), event("turn_aborted")},
         TurnState::unknown},
        {"a Codex that writes no task events",
         {meta, codexPrompt(), codexAnswer()},
         TurnState::unknown},
        {"a message quoting the event's name",
         {meta, codexPrompt(R"(what does \"type\":\"task_complete\" mean)"), codexAnswer()},
         TurnState::unknown},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto s =
            SessionDiscovery::readCodex(dir.write(testing::codexName(), lines(c.records)));
        ASSERT_TRUE(s) << c.what;
        EXPECT_EQ(s->turn, c.expected) << c.what;
    }

    // The proof that this Codex writes task events may lie far behind the newest message: the
    // scan goes on past the values it needs, and still only within the window it read.
    std::string bytes =
        lines({meta, event("task_started"), codexPrompt("first"), event("task_complete")});
    testing::padTo(bytes, bytes.size() + 200 * 1024);
    bytes += lines({codexPrompt("second"), codexAnswer()});
    TempDir dir;
    const auto s = SessionDiscovery::readCodex(dir.write(testing::codexName(), bytes));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lastUserMessage, "second");
    EXPECT_EQ(s->turn, TurnState::open);
}

}  // namespace
}  // namespace wren
