#include "fake_transcripts.h"

#include <gtest/gtest.h>
#include <simdjson.h>
#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/transcripts/iso8601.h"
#include "core/transcripts/jsonl_reader.h"
#include "core/transcripts/transcript_readers.h"

namespace wren::bench {
namespace {

namespace fs = std::filesystem;

class Scratch {
  public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "wren-fake-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

struct Shape {
    bool codex;
    LastPrompt lastPrompt;
};

constexpr Shape kShapes[] = {
    {false, LastPrompt::recent},
    {false, LastPrompt::early},
    {true, LastPrompt::recent},
    {true, LastPrompt::early},
};

FakeTranscript plan(const Shape& shape, std::uint64_t bytes) {
    FakeTranscript s;
    s.seed = 42;
    s.nativeID = fakeUuid(s.seed);
    s.bytes = bytes;
    s.lastPrompt = shape.lastPrompt;
    return s;
}

std::string build(const Shape& shape, std::uint64_t bytes) {
    const auto s = plan(shape, bytes);
    return shape.codex ? codexTranscript(s) : claudeTranscript(s);
}

// A benchmark over records the readers skip as malformed would measure nothing.
TEST(FakeTranscripts, EveryLineIsARecordWithAnOrderedTimeStamp) {
    for (const Shape& shape : kShapes) {
        SCOPED_TRACE(shape.codex ? "codex" : "claude");
        const std::string bytes = build(shape, 1 << 20);
        ASSERT_NEAR(static_cast<double>(bytes.size()), 1 << 20, 32 * 1024);
        ASSERT_EQ(bytes.back(), '\n');
        simdjson::dom::parser parser;
        double previous = 0;
        std::size_t lines = 0;
        for (const auto range : JSONLReader::lineRanges(bytes, false, false)) {
            const std::string_view line(bytes.data() + range.begin, range.end - range.begin);
            simdjson::dom::object record;
            ASSERT_EQ(parser.parse(line.data(), line.size()).get(record), simdjson::SUCCESS)
                << line.substr(0, 200);
            std::string_view stamp;
            ASSERT_EQ(record["timestamp"].get(stamp), simdjson::SUCCESS);
            const auto instant = ISO8601::parse(stamp);
            ASSERT_TRUE(instant) << stamp;
            EXPECT_GE(unixSeconds(*instant), previous);
            previous = unixSeconds(*instant);
            ++lines;
        }
        EXPECT_GT(lines, 100u);
    }
}

// The two benchmark cases stand for different work: the recent case must find everything in
// the last 512 KiB, the other must have to look before it.
TEST(FakeTranscripts, TheShapeDecidesWhereTheLastPromptIs) {
    Scratch dir;
    for (const Shape& shape : kShapes) {
        const bool early = shape.lastPrompt == LastPrompt::early;
        SCOPED_TRACE(std::string(shape.codex ? "codex " : "claude ") +
                     (early ? "early" : "recent"));
        const auto s = plan(shape, 2 << 20);
        const fs::path file =
            dir / (shape.codex ? "rollout-2025-09-10T08-00-00-" + s.nativeID + ".jsonl"
                               : s.nativeID + ".jsonl");
        ASSERT_TRUE(writeFile(file, shape.codex ? codexTranscript(s) : claudeTranscript(s)));

        const auto tail = JSONLReader::tail(file, SessionDiscovery::kRecentBytes, 0);
        ASSERT_TRUE(tail);
        const auto recentPrompt = shape.codex ? SessionDiscovery::lastCodexMessage(*tail)
                                              : SessionDiscovery::lastClaudeMessage(*tail);
        EXPECT_EQ(recentPrompt.has_value(), !early);

        const auto summary =
            shape.codex ? SessionDiscovery::readCodex(file) : SessionDiscovery::readClaude(file);
        ASSERT_TRUE(summary);
        EXPECT_EQ(summary->nativeID, s.nativeID);
        EXPECT_EQ(summary->project, "wren-island");
        EXPECT_TRUE(summary->lastUserMessage);
        EXPECT_TRUE(summary->reportedTokens);
        EXPECT_EQ(summary->contextWindow.has_value(), shape.codex);
    }
}

// Tool output of hundreds of KB is what makes a window's lines uneven; without it the
// benchmark would flatter the line split and the parser.
TEST(FakeTranscripts, SomeLinesAreHundredsOfKilobytes) {
    for (const Shape& shape : kShapes) {
        const std::string bytes = build(shape, 4 << 20);
        std::size_t longest = 0;
        for (const auto range : JSONLReader::lineRanges(bytes, false, false)) {
            longest = std::max(longest, range.end - range.begin);
        }
        EXPECT_GE(longest, 128u * 1024);
        EXPECT_NEAR(static_cast<double>(bytes.size()), 4 << 20, 32 * 1024) << "the size is off";
    }
}

TEST(FakeTranscripts, TimeStampsReadBackExactly) {
    for (const double seconds : {0.0, 1757492130.25, 1709251199.999, 951782400.0, -86400.5}) {
        const std::string text = isoTimestamp(seconds);
        const auto parsed = ISO8601::parse(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_NEAR(unixSeconds(*parsed), seconds, 0.0005) << text;
    }
    EXPECT_EQ(isoTimestamp(1757492130.25), "2025-09-10T08:15:30.250Z");
    EXPECT_EQ(isoTimestamp(951782400), "2000-02-29T00:00:00.000Z");
}

TEST(FakeTranscripts, UuidsAreFoundInFileNamesAndDistinct) {
    std::set<std::string> seen;
    for (std::uint64_t seed = 0; seed < 1000; ++seed) {
        const std::string id = fakeUuid(seed);
        ASSERT_EQ(SessionDiscovery::uuid("rollout-2025-09-10T08-00-00-" + id + ".jsonl"), id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

}  // namespace
}  // namespace wren::bench
