#include "core/transcripts/reader_arena.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"
#include "transcript_files.h"
#include "core/transcripts/byte_source.h"
#include "core/transcripts/transcript_readers.h"

namespace wren {
namespace {

using SessionDiscovery::readClaude;
using SessionDiscovery::readCodex;
using testing::claudeName;
using testing::codexName;
using testing::jsonl;
using testing::padTo;

constexpr std::size_t kKiB = 1024;

std::string claudeFile(std::string_view prompt, std::size_t fillerBefore, std::size_t fillerAfter,
                       std::string_view stamp = "2025-09-10T08:00:00Z") {
    std::string bytes;
    padTo(bytes, fillerBefore);
    bytes += jsonl({R"({"type":"user","cwd":"/w/proj","timestamp":")" + std::string(stamp) +
                    R"(","message":{"content":")" + std::string(prompt) + R"("}})"});
    padTo(bytes, bytes.size() + fillerAfter);
    bytes += jsonl({R"({"type":"system","timestamp":")" + std::string(stamp) + R"("})"});
    return bytes;
}

std::string codexFile(std::string_view id, std::string_view prompt, std::size_t filler) {
    std::string bytes = jsonl({R"({"type":"session_meta","payload":{"id":")" + std::string(id) +
                               R"(","cwd":"/w/site"}})"});
    padTo(bytes, bytes.size() + filler);
    bytes += jsonl({R"({"timestamp":"2025-09-10T08:00:00Z","payload":{"type":"message",)"
                    R"("role":"user","content":[{"text":")" +
                    std::string(prompt) + R"("}]}})"});
    return bytes;
}

// Reading file after file on one thread must reuse the windows: the second read allocates
// nothing, a file that needs more room gets a bigger buffer once, and bytes left behind by a
// larger file never leak into the summary of a smaller one.
TEST(ReaderArena, WindowsAreReusedFromFileToFile) {
    ReaderArena& arena = ReaderArena::local();
    arena.release();
    const auto allocations = [&] {
        return arena.recent.allocations() + arena.older.allocations();
    };
    const auto readInMemory = [](const std::string& bytes) {
        return readClaude(MemorySource(bytes), claudeName());
    };

    const std::string small = claudeFile("small one", 0, 2 * kKiB);
    ASSERT_EQ(readInMemory(small)->lastUserMessage, "small one");
    const std::size_t afterSmall = allocations();

    const std::string large = claudeFile("large one", 0, 900 * kKiB);  // needs the older window
    ASSERT_EQ(readInMemory(large)->lastUserMessage, "large one");
    EXPECT_EQ(arena.recent.capacity(), SessionDiscovery::kRecentBytes);
    EXPECT_GT(allocations(), afterSmall) << "a bigger window needs a bigger buffer";
    const std::size_t afterLarge = allocations();

    // Other files of either size: correct summaries, no new window.
    const std::string other =
        claudeFile("other large", 100 * kKiB, 650 * kKiB, "2025-09-11T09:30:00Z");
    const auto s = readInMemory(other);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lastUserMessage, "other large");
    EXPECT_EQ(s->lastActivity, instantFromUnix(testing::unixOf("2025-09-11T09:30:00Z")));
    EXPECT_EQ(s->turns, 0);
    const auto tiny = readInMemory(claudeFile("tiny", 0, 0));
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->lastUserMessage, "tiny") << "stale bytes of the larger file stayed unseen";
    EXPECT_EQ(tiny->turns, 1);
    testing::TempDir dir;
    EXPECT_EQ(readClaude(dir.write(claudeName(), large))->lastUserMessage, "large one");
    EXPECT_EQ(allocations(), afterLarge);

    // Codex reads its head through the same window, before the tail replaces it.
    const auto first = readCodex(MemorySource(codexFile("S-1", "one", 200 * kKiB)), codexName());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->nativeID, "S-1");
    EXPECT_EQ(first->project, "site");
    const std::size_t afterCodex = allocations();
    EXPECT_EQ(afterCodex, afterLarge);
    const auto second = readCodex(MemorySource(codexFile("S-2", "two", 300 * kKiB)), codexName());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->nativeID, "S-2");
    EXPECT_EQ(second->lastUserMessage, "two");
    EXPECT_EQ(second->project, "site");
    EXPECT_EQ(allocations(), afterCodex);

    arena.release();
    EXPECT_EQ(arena.recent.capacity(), 0u);
    EXPECT_EQ(readInMemory(small)->lastUserMessage, "small one") << "a released arena grows again";
}

// Counts the reads a reader makes of a file in memory.
class CountingSource final : public ByteSource {
  public:
    explicit CountingSource(std::string_view bytes) : inner_(bytes) {}
    std::optional<std::uint64_t> size() const override { return inner_.size(); }
    std::size_t readAt(std::uint64_t offset, char* out, std::size_t length) const override {
        ++reads;
        return inner_.readAt(offset, out, length);
    }
    mutable int reads = 0;

  private:
    MemorySource inner_;
};

// Every window is one read, and a window a file does not need is neither read nor given memory:
// the older one only when the last 512 KiB have a time stamp but no user message.
TEST(ReaderArena, AFileReadsOnlyTheWindowsItNeeds) {
    const std::string sidechain =
        R"({"type":"user","isSidechain":true,"timestamp":"2025-09-10T08:00:00Z",)"
        R"("message":{"content":"side"}})";
    std::string allSidechain = jsonl({sidechain});
    padTo(allSidechain, 900 * kKiB);
    allSidechain += jsonl({sidechain});
    std::string codexUndated = codexFile("S-3", "no time", 900 * kKiB);
    codexUndated.replace(codexUndated.find("timestamp"), 9, "timeStamp");

    struct Case {
        const char* what;
        Agent agent;
        std::string bytes;
        bool summary;
        int reads;
    };
    const Case cases[] = {
        {"message in the last records", Agent::claude, claudeFile("late", 900 * kKiB, 0), true, 1},
        {"message only before them", Agent::claude, claudeFile("early", 0, 900 * kKiB), true, 2},
        {"sidechain records only", Agent::claude, allSidechain, false, 1},
        {"Codex, message last", Agent::codex, codexFile("S-1", "late", 900 * kKiB), true, 2},
        {"Codex, no time stamp", Agent::codex, codexUndated, false, 2},
    };
    ReaderArena& arena = ReaderArena::local();
    for (const Case& c : cases) {
        arena.release();
        const CountingSource source(c.bytes);
        const auto summary = c.agent == Agent::claude ? readClaude(source, claudeName())
                                                      : readCodex(source, codexName());
        EXPECT_EQ(summary.has_value(), c.summary) << c.what;
        EXPECT_EQ(source.reads, c.reads) << c.what;
        EXPECT_EQ(arena.older.capacity() > 0, c.reads == 2 && c.agent == Agent::claude) << c.what;
    }
    arena.release();
}

// The older window turns lines down with a lazy look at message.content before a full parse.
// Whatever a line holds, the message found there must be the one a full parse finds when the
// same line is the newest record of the recent window.
TEST(ReaderArena, OlderWindowSkimAgreesWithAFullParse) {
    struct Case {
        const char* content;  // the "message" member of a user record
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {R"({"content":"plain text"})", "plain text"},
        {R"({"content":[{"type":"tool_result","content":"out"}]})", std::nullopt},
        {R"({"content":[{"type":"tool_result","content":[{"type":"text","text":"in"}]}]})",
         std::nullopt},
        {R"({"content":[{"type":"tool_result"},{"type":"text","text":"after"}]})", "after"},
        {R"({"content":[{"type":"t\u0065xt","text":"escaped"}]})", "escaped"},
        {R"({"content":[{"type":"tool_result","type":"text","text":"second"}]})", std::nullopt},
        {R"({"content":[{"type":"text","type":"tool_result","text":"first"}]})", "first"},
        {R"({"content":["bare",{"type":"text","text":"mixed"}]})", std::nullopt},
        {R"({"content":[{"text":"untyped"},{"type":7,"text":"number"}]})", std::nullopt},
        {R"({"content":[]})", std::nullopt},
        {R"({"content":[{"type":"tool_result"}],"content":"later"})", std::nullopt},
        {R"({"content":"earlier","content":[{"type":"tool_result"}]})", "earlier"},
        {R"({"content":[{"type":"text","text":"deep"}]}, "x":[[[[[[1]]]]]])", "deep"},
        {R"({"content":[{"type":"text","text":"huge"}], "n":123456789012345678901234567890})",
         "huge"},
        {R"({"content":[{"type":"text","text":"broken"}]}, )", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::string record = R"({"type":"user","timestamp":"2025-09-10T08:00:00Z",)"
                                   R"("message":)" +
                                   std::string(c.content) + "}";
        std::string recent = jsonl({record});
        std::string older = jsonl({record});
        padTo(older, older.size() + 600 * kKiB);
        older += jsonl({R"({"type":"system","timestamp":"2025-09-10T08:00:00Z"})"});
        const auto viaRecent = readClaude(MemorySource(recent), claudeName());
        const auto viaOlder = readClaude(MemorySource(older), claudeName());
        // An unparsable line gives the recent window no time stamp, so no summary at all.
        if (viaRecent) {
            EXPECT_EQ(viaRecent->lastUserMessage, c.expected) << c.content;
        }
        ASSERT_TRUE(viaOlder) << c.content;
        EXPECT_EQ(viaOlder->lastUserMessage, c.expected) << c.content;
    }
}

}  // namespace
}  // namespace wren
