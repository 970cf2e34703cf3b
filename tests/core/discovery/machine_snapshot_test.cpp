#include "core/discovery/machine_snapshot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "transcript_files.h"
#include "core/transcripts/iso8601.h"
#include "temp_dir.h"

namespace wren {
namespace {

namespace fs = std::filesystem;
using testing::claudeTranscript;
using testing::codexTranscript;
using testing::setModified;
using testing::TempDir;
using testing::uuidOf;

// One user's machine in a scratch folder: the agents' homes under ~, nothing at the root.
struct FakeHome {
    TempDir dir;
    fs::path home = dir / "home";
    double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();

    MachineSnapshot::Sources sources() const {
        return {home / ".claude" / "projects",
                home / ".codex" / "sessions",
                {home / ".claude" / "projects"},
                {home / ".codex" / "sessions", home / ".codex" / "archived_sessions"},
                instantFromUnix(now),
                InstallPaths{home, dir / "root"},
                std::nullopt};
    }
    fs::path write(const fs::path& relative, const std::string& text, double ago) const {
        const auto path = dir.write(("home" / relative).string(), text);
        setModified(path, now - ago);
        return path;
    }
};

std::vector<std::string> ids(const std::vector<SessionSummary>& sessions) {
    std::vector<std::string> out;
    for (const auto& s : sessions) out.push_back(s.id);
    return out;
}

const std::string kClaudeLimits =
    R"({"type":"system","rateLimits":{"used_percent":12,"window_minutes":300,"resets_at":1733400000}})"
    "\n";

TEST(MachineSnapshot, OnlyClaudeTranscripts) {
    FakeHome machine;
    const auto nowSeconds = static_cast<std::int64_t>(machine.now);
    machine.write(".claude/projects/-home-u-alpha/" + uuidOf(1) + ".jsonl",
                  claudeTranscript("/home/u/alpha", nowSeconds - 600), 600);
    machine.write(".claude/projects/-home-u-beta/" + uuidOf(2) + ".jsonl",
                  claudeTranscript("/home/u/beta", nowSeconds - 60) + kClaudeLimits, 60);
    setModified(machine.home / ".claude/projects/-home-u-alpha", machine.now - 600);
    setModified(machine.home / ".claude/projects/-home-u-beta", machine.now - 60);

    const MachineSnapshot snapshot = MachineSnapshot::read(machine.sources());
    EXPECT_EQ(snapshot.windows,
              (std::map<Agent, RateWindow>{
                  {Agent::claude, RateWindow{12, 300, instantFromUnix(1733400000)}}}));
    EXPECT_EQ(ids(snapshot.sessions),
              (std::vector<std::string>{"claude:" + uuidOf(2), "claude:" + uuidOf(1)}));
    EXPECT_EQ(snapshot.installs, (InstallState{{Agent::claude}, false}));

    // Nothing changed on disk: the same snapshot again.
    const MachineSnapshot again = MachineSnapshot::read(machine.sources());
    EXPECT_EQ(ids(again.sessions), ids(snapshot.sessions));
    EXPECT_EQ(again.windows, snapshot.windows);
    EXPECT_EQ(again.installs, snapshot.installs);
}

TEST(MachineSnapshot, CodexWindowComesFromTheNewestFileOnly) {
    FakeHome machine;
    const auto nowSeconds = static_cast<std::int64_t>(machine.now);
    const fs::path day = ".codex/sessions/2025/01/02";
    const std::string limits =
        R"({"type":"event_msg","payload":{"rate_limits":{"primary":{"used_percent":5,"window_minutes":300}}}})"
        "\n";
    machine.write(day / ("rollout-a-" + uuidOf(3) + ".jsonl"),
                  codexTranscript(uuidOf(3), "/w/a", nowSeconds - 300) + limits, 300);
    const auto stampDays = [&] {
        for (fs::path p = machine.home / day; p != machine.home / ".codex/sessions";
             p = p.parent_path()) {
            setModified(p, machine.now - 30);
        }
    };
    const std::string newest = codexTranscript(uuidOf(4), "/w/b", nowSeconds - 30);
    machine.write(day / ("rollout-b-" + uuidOf(4) + ".jsonl"), newest, 30);
    stampDays();
    const MachineSnapshot snapshot = MachineSnapshot::read(machine.sources());
    EXPECT_TRUE(snapshot.windows.empty());
    EXPECT_EQ(ids(snapshot.sessions),
              (std::vector<std::string>{"codex:" + uuidOf(4), "codex:" + uuidOf(3)}));
    EXPECT_EQ(snapshot.installs, (InstallState{{Agent::codex}, false}));

    machine.write(day / ("rollout-b-" + uuidOf(4) + ".jsonl"), newest + limits, 30);
    stampDays();
    EXPECT_EQ(MachineSnapshot::read(machine.sources()).windows,
              (std::map<Agent, RateWindow>{{Agent::codex, RateWindow{5, 300, std::nullopt}}}));
}

// Claude Code writes no quota into its transcripts, so its cache stands in; a window already
// reset says nothing, and a transcript's own record, where there is one, comes first.
TEST(MachineSnapshot, ClaudeQuotaFromItsCacheWhenTranscriptsHaveNone) {
    FakeHome machine;
    const auto nowSeconds = static_cast<std::int64_t>(machine.now);
    const auto iso = [&](double fromNow) {
        return *ISO8601::formatUtcMillis(instantFromUnix(machine.now + fromNow));
    };
    const fs::path transcript = ".claude/projects/p/" + uuidOf(1) + ".jsonl";
    machine.write(transcript, claudeTranscript("/w/p", nowSeconds - 60), 60);
    machine.write(".claude.json",
                  R"({"cachedUsageUtilization":{"fetchedAtMs":)" +
                      std::to_string(nowSeconds * 1000 - 3 * 3600 * 1000) +
                      R"(,"utilization":{"five_hour":{"utilization":90,"resets_at":")" + iso(-60) +
                      R"("},"seven_day":{"utilization":35,"resets_at":")" + iso(86400) + R"("}}}})",
                  10);
    auto sources = machine.sources();
    sources.claudeConfigFiles = {machine.home / ".claude.json"};

    const MachineSnapshot cached = MachineSnapshot::read(sources);
    ASSERT_EQ(cached.quotas.count(Agent::claude), 1u);
    const std::vector<RateWindow>& windows = cached.quotas.at(Agent::claude);
    ASSERT_EQ(windows.size(), 1u) << "the five-hour window has reset";
    EXPECT_EQ(windows[0].windowMinutes, 10080);
    EXPECT_EQ(windows[0].source, QuotaSource::cache);
    EXPECT_EQ(windows[0].asOf, instantFromUnix(static_cast<double>(nowSeconds - 3 * 3600)));
    EXPECT_EQ(cached.windows.at(Agent::claude), windows[0]);

    machine.write(transcript, claudeTranscript("/w/p", nowSeconds - 60) + kClaudeLimits, 60);
    const MachineSnapshot recorded = MachineSnapshot::read(sources);
    EXPECT_EQ(recorded.windows.at(Agent::claude).source, QuotaSource::transcript);
    EXPECT_EQ(recorded.quotas.count(Agent::claude), 0u) << "its reset in 2024 has passed";
}

TEST(MachineSnapshot, KeepsTheEightNewestSessions) {
    FakeHome machine;
    const auto nowSeconds = static_cast<std::int64_t>(machine.now);
    std::vector<std::string> expected;
    for (unsigned i = 1; i <= 12; ++i) {
        // Session i was last active i minutes ago.
        machine.write(".claude/projects/-p/" + uuidOf(i) + ".jsonl",
                      claudeTranscript("/p", nowSeconds - 60 * i), 60.0 * i);
        if (i <= 8) expected.push_back("claude:" + uuidOf(i));
    }
    EXPECT_EQ(ids(MachineSnapshot::read(machine.sources()).sessions), expected);
}

TEST(MachineSnapshot, EmptyMachine) {
    FakeHome machine;
    const MachineSnapshot snapshot = MachineSnapshot::read(machine.sources());
    EXPECT_TRUE(snapshot.sessions.empty());
    EXPECT_TRUE(snapshot.windows.empty());
    EXPECT_EQ(snapshot.installs, InstallState{});
}

}  // namespace
}  // namespace wren
