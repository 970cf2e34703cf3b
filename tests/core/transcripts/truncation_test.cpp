#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "real_transcripts.h"
#include "temp_dir.h"
#include "transcript_files.h"
#include "core/transcripts/transcript_readers.h"

// A transcript is read while its agent appends to it, so any byte length is a file the readers
// meet. Whatever the cut, the summary must be the one of the whole lines before it: a half line
// never contributes anything.

namespace wren {
namespace {

using Reader = std::optional<SessionSummary> (*)(const std::filesystem::path&);
using testing::TempDir;

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool sameSummary(const std::optional<SessionSummary>& a, const std::optional<SessionSummary>& b) {
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    if (a->id != b->id || a->project != b->project || a->lastActivity != b->lastActivity ||
        a->lastUserMessage != b->lastUserMessage || a->turns != b->turns ||
        a->contextWindow != b->contextWindow || a->reportedTokens != b->reportedTokens ||
        a->workingDirectory != b->workingDirectory || a->segments.size() != b->segments.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a->segments.size(); ++i) {
        if (a->segments[i].tokens != b->segments[i].tokens) return false;
    }
    return true;
}

// Where each line's record ends: after its last byte that is not blank (so a cut between the
// record and its carriage return or line feed leaves the record whole).
std::vector<std::size_t> recordEnds(const std::string& bytes) {
    std::vector<std::size_t> ends;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t feed = bytes.find('\n', start);
        if (feed == std::string::npos) feed = bytes.size();
        std::size_t end = feed;
        while (end > start && (bytes[end - 1] == '\r' || bytes[end - 1] == ' ')) --end;
        if (end > start) ends.push_back(end);
        start = feed + 1;
    }
    return ends;
}

// Reads every cut of `bytes` in `lengths` (all lengths when empty) and compares each with the
// summary of the whole records before the cut.
void checkTruncations(const Reader& read, const std::string& name, const std::string& bytes,
                      std::set<std::size_t> lengths = {}) {
    const std::vector<std::size_t> ends = recordEnds(bytes);
    TempDir dir;
    const auto path = dir / name;

    // expected[k]: the file cut right after its k-th record.
    std::vector<std::optional<SessionSummary>> expected;
    expected.push_back(read(dir.write(name, "")));
    for (const std::size_t end : ends)
        expected.push_back(read(dir.write(name, bytes.substr(0, end))));
    // The whole file is a real session, so the comparisons below are not all between nothings.
    ASSERT_TRUE(expected.back()) << name;

    if (lengths.empty()) {
        for (std::size_t n = 0; n <= bytes.size(); ++n) lengths.insert(n);
    }
    dir.write(name, bytes);
    std::size_t compared = 0;
    // Longest first, so one truncate per length suffices.
    for (auto it = lengths.rbegin(); it != lengths.rend(); ++it) {
        const std::size_t length = *it;
        if (length > bytes.size()) continue;
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(length)), 0);
        const std::size_t whole = static_cast<std::size_t>(
            std::upper_bound(ends.begin(), ends.end(), length) - ends.begin());
        const auto got = read(path);
        if (!sameSummary(got, expected[whole])) {
            ASSERT_EQ(got.has_value(), expected[whole].has_value())
                << name << " cut at " << length << " after " << whole << " records";
            testing::expectSameSummary(*got, *expected[whole],
                                       name + " cut at " + std::to_string(length));
            return;
        }
        ++compared;
    }
    EXPECT_GT(compared, 0u);
}

// Every line boundary and the two bytes on each side, plus every `stride`-th length.
std::set<std::size_t> boundariesAndSample(const std::string& bytes, std::size_t stride) {
    std::set<std::size_t> lengths{0, bytes.size()};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            for (std::size_t d = 0; d <= 4 && i + d >= 2; ++d) lengths.insert(i + d - 2);
        }
    }
    for (std::size_t n = 0; n <= bytes.size(); n += stride) lengths.insert(n);
    return lengths;
}

// The real files are 30 and 72 KB: every length would take too long, so every line boundary
// and a dense sample in between (strides prime to the typical record lengths).
TEST(ReaderTruncation, RealClaudeTranscriptAtLineBoundariesAndADenseSample) {
    const auto real = testing::realTranscripts();
    if (!real) GTEST_SKIP() << testing::kNoRealTranscripts;
    const std::string bytes = slurp(*real / "claude/crud.jsonl");
    ASSERT_GT(bytes.size(), 30000u);
    checkTruncations(SessionDiscovery::readClaude, testing::claudeName(), bytes,
                     boundariesAndSample(bytes, 3));
}

TEST(ReaderTruncation, RealCodexTranscriptAtLineBoundariesAndADenseSample) {
    const auto real = testing::realTranscripts();
    if (!real) GTEST_SKIP() << testing::kNoRealTranscripts;
    const std::string bytes = slurp(*real / "codex/crud.jsonl");
    ASSERT_GT(bytes.size(), 70000u);
    checkTruncations(SessionDiscovery::readCodex, testing::codexName(), bytes,
                     boundariesAndSample(bytes, 11));
}

TEST(ReaderTruncation, SyntheticClaudeTranscriptAtEveryLength) {
    const std::string bytes = testing::jsonl({
        R"({"type":"summary","summary":"Earlier work","leafUuid":"x"})",
        R"({"type":"user","cwd":"/w/caf\u00e9","timestamp":"2025-09-10T08:00:00Z",)"
        R"("message":{"role":"user","content":"na\u00efve caf\u00e9 \u4e2d\u6587 \ud83c\udf89"}})",
        "{\"type\":\"user\",\"cwd\":\"/w/caf\xc3\xa9\",\"timestamp\":\"2025-09-10T08:01:00Z\","
        "\"message\":{\"role\":\"user\",\"content\":\"raw na\xc3\xafve \xe4\xb8\xad\xe6\x96\x87 "
        "\xf0\x9f\x8e\x89\"}}",
        R"({"type":"assistant","cwd":"/w/proj","timestamp":"2025-09-10T08:02:00.5Z",)"
        R"("message":{"usage":{"input_tokens":12,"cache_read_input_tokens":3400}}})",
        R"({"type":"user","isMeta":true,"timestamp":"2025-09-10T08:03:00Z",)"
        R"("message":{"content":"meta"}})",
        "{\"type\":\"user\", broken",
        R"({"type":"user","isSidechain":true,"cwd":"/side","timestamp":"2025-09-10T08:04:00Z",)"
        R"("message":{"content":"side"}})",
        R"({"type":"assistant","isSidechain":true,"timestamp":"2025-09-10T08:04:30Z",)"
        R"("message":{"usage":{"input_tokens":99999}}})",
        R"({"type":"user","timestamp":"2025-09-10T08:05:00Z","message":{"content":)"
        R"([{"type":"tool_result","content":"ok"}]}})",
        R"({"type":"assistant","timestamp":"2025-09-10T08:06:00Z",)"
        R"("message":{"usage":{"input_tokens":0}}})",
        "{\"type\":\"system\",\"cwd\":\"/w/proj\",\"timestamp\":\"2025-09-10T08:07:00Z\"}\r",
        "",
        R"({"type":"user","timestamp":"2025-09-10T10:15:00+02:00","message":{"content":)"
        R"("<command-name>/clear</command-name>"}})",
        R"({"type":"file-history-snapshot","snapshot":{}}   )",
    });
    ASSERT_FALSE(recordEnds(bytes).empty());
    checkTruncations(SessionDiscovery::readClaude, testing::claudeName(), bytes);
}

TEST(ReaderTruncation, SyntheticCodexTranscriptAtEveryLength) {
    const std::string bytes = testing::jsonl({
        R"({"timestamp":"2025-09-10T08:00:00Z","type":"session_meta",)"
        R"("payload":{"id":"S-1","cwd":"/w/site"}})",
        R"({"timestamp":"2025-09-10T08:01:00Z","type":"response_item","payload":{"type":"message",)"
        R"("role":"user","content":[{"type":"input_text","text":"\u00e9t\u00e9 \ud83c\udf89"}]}})",
        R"({"timestamp":"2025-09-10T08:02:00Z","type":"event_msg","payload":{"type":"token_count",)"
        R"("info":{"last_token_usage":{"input_tokens":4800},"model_context_window":200000}}})",
        R"({"timestamp":"2025-09-10T08:03:00Z","type":"event_msg","payload":{"type":"token_count",)"
        R"("info":null}})",
        R"({"timestamp":"2025-09-10T08:04:00Z","type":"response_item","payload":{"type":"message",)"
        R"("role":"user","content":[{"type":"input_text","text":"<environment_context/>"}]}})",
        R"({"timestamp":"2025-09-10T08:05:00Z","type":"response_item","payload":{"type":"message",)"
        R"("role":"assistant","content":[{"type":"output_text","text":"done"}]}})",
        R"({"timestamp":"2025-09-10T08:06:00Z","type":"turn_context","payload":{"a":{"b":1}}})",
    });
    checkTruncations(SessionDiscovery::readCodex, testing::codexName(), bytes);
}

}  // namespace
}  // namespace wren
