#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/discovery/profile.h"
#include "core/discovery/session_discovery.h"
#include "transcript_files.h"
#include "core/transcripts/iso8601.h"
#include "temp_dir.h"

namespace wren::SessionDiscovery {
namespace {

namespace fs = std::filesystem;
using testing::claudeTranscript;
using testing::codexTranscript;
using testing::TempDir;
using testing::uuidOf;

constexpr std::int64_t kT = 1'750'000'000;  // activity instants come from the records

Instant now() {
    return Instant(std::chrono::system_clock::now());
}

/// The spans recorded since the last call, by name in report order, with their call counts.
std::vector<std::pair<std::string, int>> spansTaken() {
    std::vector<std::pair<std::string, int>> spans;
    std::istringstream report(Profile::take("t"));
    std::string line;
    std::getline(report, line);  // the empty line
    std::getline(report, line);  // "[t]"
    while (std::getline(report, line)) {
        std::istringstream fields(line);
        std::string name, millis, ms;
        int calls = 0;
        fields >> name >> millis >> ms >> calls;
        spans.emplace_back(name, calls);
    }
    return spans;
}

std::vector<std::string> ids(const std::vector<SessionSummary>& sessions) {
    std::vector<std::string> result;
    for (const SessionSummary& session : sessions) result.push_back(session.id);
    return result;
}

class Discover : public ::testing::Test {
  protected:
    void SetUp() override { spansTaken(); }  // start from an empty profile

    TempDir home_;
    std::vector<fs::path> codexRoots() const {
        return {home_ / "codex/sessions", home_ / "codex/archived_sessions"};
    }
    std::vector<fs::path> claudeRoots() const { return {home_ / "claude/a", home_ / "claude/b"}; }

    void codex(std::string_view root, unsigned n, std::string_view cwd, std::int64_t at) const {
        home_.write("codex/" + std::string(root) + "/rollout-" + uuidOf(n) + ".jsonl",
                    codexTranscript(uuidOf(n), cwd, at));
    }
    void claude(std::string_view root, unsigned n, std::string_view cwd, std::int64_t at) const {
        home_.write("claude/" + std::string(root) + "/-w/" + uuidOf(n) + ".jsonl",
                    claudeTranscript(cwd, at));
    }
    std::vector<SessionSummary> discover(std::size_t limit) const {
        return SessionDiscovery::discover(limit, codexRoots(), claudeRoots(), now());
    }
};

TEST_F(Discover, NothingToReadRecordsNoReadSpan) {
    home_.write("claude/a/old/" + uuidOf(1) + ".jsonl", claudeTranscript("/w/p", kT));
    testing::setModified(home_ / ("claude/a/old/" + uuidOf(1) + ".jsonl"), 1'000'000'000);

    EXPECT_TRUE(discover(8).empty());
    EXPECT_EQ(spansTaken(),
              (std::vector<std::pair<std::string, int>>{{"enumerate", 2}, {"discover", 1}}));
}

// While one agent writes, a refresh must not read every other transcript again; but any write,
// even one that keeps the size and the modification time, is read.
TEST_F(Discover, ReadsOnlyTheFilesThatChangedSinceTheLastPass) {
    claude("a", 1, "/w/one", kT);
    claude("b", 2, "/w/two", kT - 10);
    codex("sessions", 3, "/w/three", kT - 20);
    EXPECT_EQ(discover(8).size(), 3u);
    EXPECT_EQ(filesReadInLastPass(), 3u);
    EXPECT_EQ(discover(8).size(), 3u);
    EXPECT_EQ(filesReadInLastPass(), 0u) << "nothing changed";

    const fs::path file = home_ / ("claude/a/-w/" + uuidOf(1) + ".jsonl");
    const auto modified = fs::last_write_time(file);
    claude("a", 1, "/w/one", kT + 50);  // newer activity, same length
    fs::last_write_time(file, modified);
    const std::vector<SessionSummary> sessions = discover(8);
    EXPECT_EQ(filesReadInLastPass(), 1u);
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(sessions.front().lastActivity, instantFromUnix(static_cast<double>(kT + 50)));

    // A file gone is dropped without reading anything.
    fs::remove(home_ / ("codex/sessions/rollout-" + uuidOf(3) + ".jsonl"));
    EXPECT_EQ(discover(8).size(), 2u);
    EXPECT_EQ(filesReadInLastPass(), 0u);
    spansTaken();
}

TEST_F(Discover, OneCandidateGivesOneSession) {
    claude("b", 7, "/home/u/proj", kT);
    const std::vector<SessionSummary> sessions = discover(8);
    ASSERT_EQ(sessions.size(), 1u);
    const SessionSummary& session = sessions.front();
    EXPECT_EQ(session.id, "claude:" + uuidOf(7));
    EXPECT_EQ(session.nativeID, uuidOf(7));
    EXPECT_EQ(session.agent, Agent::claude);
    EXPECT_EQ(session.project, "proj");
    EXPECT_EQ(session.lastActivity, instantFromUnix(static_cast<double>(kT)));
    EXPECT_EQ(session.reportedTokens, 20510);
    EXPECT_EQ(session.lastUserMessage, "hello");
    EXPECT_EQ(spansTaken(), (std::vector<std::pair<std::string, int>>{
                                {"enumerate", 2}, {"read", 1}, {"discover", 1}}));
}

TEST_F(Discover, SameSessionTwiceKeepsTheLaterActivityElseTheFirstMet) {
    struct Case {
        const char* name;
        std::int64_t first;   // sessions/ for Codex, the first root for Claude
        std::int64_t second;  // archived_sessions/, the second root
        const char* survivor;
    };
    const Case cases[] = {
        {"later copy second", kT, kT + 300, "second"},
        {"later copy first", kT + 300, kT, "first"},
        {"a tie keeps the first met", kT, kT, "first"},
    };
    for (const Case& c : cases) {
        TempDir home;
        home.write("codex/sessions/2025/06/15/rollout-" + uuidOf(1) + ".jsonl",
                   codexTranscript(uuidOf(1), "/w/first", c.first));
        home.write("codex/archived_sessions/rollout-" + uuidOf(1) + ".jsonl",
                   codexTranscript(uuidOf(1), "/w/second", c.second));
        home.write("claude/a/-w/" + uuidOf(2) + ".jsonl", claudeTranscript("/w/first", c.first));
        home.write("claude/b/-w/" + uuidOf(2) + ".jsonl", claudeTranscript("/w/second", c.second));

        const std::vector<SessionSummary> sessions = SessionDiscovery::discover(
            8, {home / "codex/sessions", home / "codex/archived_sessions"},
            {home / "claude/a", home / "claude/b"}, now());
        ASSERT_EQ(sessions.size(), 2u) << c.name;
        for (const SessionSummary& session : sessions) {
            EXPECT_EQ(session.project, c.survivor) << c.name << " " << session.id;
            EXPECT_EQ(session.lastActivity,
                      instantFromUnix(static_cast<double>(std::max(c.first, c.second))))
                << c.name;
        }
    }
}

TEST_F(Discover, NewestFirstAndEqualInstantsByAscendingId) {
    codex("sessions", 2, "/w/x", kT);
    codex("archived_sessions", 1, "/w/x", kT);
    claude("a", 9, "/w/x", kT);
    claude("b", 3, "/w/x", kT + 10);
    EXPECT_EQ(ids(discover(8)),
              (std::vector<std::string>{"claude:" + uuidOf(3), "claude:" + uuidOf(9),
                                        "codex:" + uuidOf(1), "codex:" + uuidOf(2)}));
}

TEST_F(Discover, KeepsTheMostRecentUpToTheLimitWhateverTheAgent) {
    struct Case {
        const char* name;
        std::vector<std::int64_t> codexTimes;
        std::vector<std::int64_t> claudeTimes;
        std::size_t limit;
    };
    const Case cases[] = {
        {"interleaved", {0, 2, 4, 6, 8, 10}, {1, 3, 5, 7, 9, 11}, 8},
        {"Claude pushes every Codex session out",
         {0, 1, 2, 3},
         {10, 11, 12, 13, 14, 15, 16, 17},
         8},
        {"Codex pushes every Claude session out",
         {10, 11, 12, 13, 14, 15, 16, 17},
         {0, 1, 2, 3},
         8},
        {"fewer than the limit", {5}, {6}, 8},
        {"limit zero", {1, 2}, {3}, 0},
    };
    for (const Case& c : cases) {
        TempDir home;
        std::vector<std::pair<std::int64_t, std::string>> all;  // activity, id
        unsigned n = 0;
        for (const std::int64_t t : c.codexTimes) {
            ++n;
            home.write("codex/sessions/rollout-" + uuidOf(n) + ".jsonl",
                       codexTranscript(uuidOf(n), "/w/x", kT + t));
            all.emplace_back(t, "codex:" + uuidOf(n));
        }
        for (const std::int64_t t : c.claudeTimes) {
            ++n;
            home.write("claude/a/-w/" + uuidOf(n) + ".jsonl", claudeTranscript("/w/x", kT + t));
            all.emplace_back(t, "claude:" + uuidOf(n));
        }
        std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a > b; });
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < std::min(c.limit, all.size()); ++i) {
            expected.push_back(all[i].second);
        }

        spansTaken();
        const std::vector<SessionSummary> sessions = SessionDiscovery::discover(
            c.limit, {home / "codex/sessions"}, {home / "claude/a"}, now());
        EXPECT_EQ(ids(sessions), expected) << c.name;
        const auto spans = spansTaken();
        EXPECT_NE(std::find(spans.begin(), spans.end(), std::pair<std::string, int>{"read", 1}),
                  spans.end())
            << c.name << ": every candidate is read, whatever the limit";
    }
}

TEST_F(Discover, ReadsManyFilesInParallel) {
    constexpr unsigned kEach = 150;
    std::vector<std::string> expected;
    for (unsigned i = 0; i < kEach; ++i) {
        // Activity descends with i and alternates agents, so the expected order is known.
        codex(i % 2 ? "sessions" : "archived_sessions", 2 * i, "/w/c" + std::to_string(i),
              kT - 2 * i);
        claude(i % 2 ? "a" : "b", 2 * i + 1, "/w/l" + std::to_string(i), kT - 2 * i - 1);
        expected.push_back("codex:" + uuidOf(2 * i));
        expected.push_back("claude:" + uuidOf(2 * i + 1));
        home_.write("claude/a/junk/" + std::to_string(i) + ".jsonl", "not json\n");
    }
    const std::vector<SessionSummary> sessions = discover(1000);
    EXPECT_EQ(ids(sessions), expected);
    for (const SessionSummary& session : sessions) {
        const std::string prefix = session.agent == Agent::codex ? "c" : "l";
        EXPECT_EQ(session.project.substr(0, 1), prefix) << session.id;
    }
}

}  // namespace
}  // namespace wren::SessionDiscovery
