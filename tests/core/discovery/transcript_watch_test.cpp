#include "core/discovery/transcript_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/discovery/refresh_pacer.h"
#include "temp_dir.h"

namespace wren {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

void append(const fs::path& file, const std::string& line = "{}\n") {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::app) << line;
}

// The kernel queues an event before the system call that caused it returns, so what a drain
// sees right after a write is all there is to see: no waiting is needed.
TEST(TranscriptWatch, SeesTranscriptChangesAndNothingElse) {
    TempDir home;
    const fs::path codex = home / "codex/sessions";
    const fs::path archived = home / "codex/archived_sessions";
    const fs::path claude = home / "claude/projects";
    append(codex / "2026/12/07/rollout-a.jsonl");
    append(claude / "-work-app/11111111.jsonl");
    fs::create_directories(claude / "-work-app/.hidden");
    fs::create_directories(home / "elsewhere");
    fs::create_directory_symlink(home / "elsewhere", claude / "-work-app/linked");
    fs::create_directories(archived);

    TranscriptWatch watch({codex, archived, claude});
    ASSERT_GE(watch.fd(), 0);
    EXPECT_FALSE(watch.drain()) << "nothing happened yet";

    const struct {
        const char* name;
        fs::path file;  // appended to
        bool seen;
    } cases[] = {
        {"a write to a transcript", codex / "2026/12/07/rollout-a.jsonl", true},
        {"a new transcript", claude / "-work-app/22222222.jsonl", true},
        {"a subagent's transcript in a new folder",
         claude / "-work-app/11111111/subagents/agent-1.jsonl", true},
        {"a transcript archived", archived / "rollout-b.jsonl", true},
        {"the day folder that appears at midnight", codex / "2026/12/08/rollout-c.jsonl", true},
        {"a month folder with its day", codex / "2027/01/01/rollout-d.jsonl", true},
        {"a file that is no transcript", claude / "-work-app/notes.txt", false},
        {"a hidden transcript", claude / "-work-app/.draft.jsonl", false},
        {"a transcript in a hidden folder", claude / "-work-app/.hidden/x.jsonl", false},
        {"a transcript behind a symlinked folder", claude / "-work-app/linked/x.jsonl", false},
        {"an upper-case extension", codex / "2026/12/07/rollout.JSONL", false},
    };
    for (const auto& c : cases) {
        append(c.file);
        EXPECT_EQ(watch.drain(), c.seen) << c.name;
        // Once a folder is watched, later writes in it are seen too.
        append(c.file);
        EXPECT_EQ(watch.drain(), c.seen) << c.name << ", written again";
    }

    fs::remove(claude / "-work-app/22222222.jsonl");
    EXPECT_TRUE(watch.drain()) << "a transcript removed";
    fs::rename(codex / "2026/12/07/rollout-a.jsonl", archived / "rollout-a.jsonl");
    EXPECT_TRUE(watch.drain()) << "a transcript moved to the archive";
}

TEST(TranscriptWatch, RootsThatAppearLaterAndBounds) {
    TempDir home;
    const fs::path codexHome = home / "codex";
    fs::create_directories(codexHome);
    TranscriptWatch watch({codexHome / "sessions"});
    ASSERT_GE(watch.fd(), 0);
    // The first session of an agent that had never run creates its whole tree at once.
    append(codexHome / "sessions/2026/12/07/rollout-a.jsonl");
    EXPECT_TRUE(watch.drain());
    append(codexHome / "sessions/2026/12/07/rollout-a.jsonl");
    EXPECT_TRUE(watch.drain()) << "the new root is watched from then on";
    append(codexHome / "history.jsonl");
    EXPECT_FALSE(watch.drain()) << "the agent's home is not a transcript folder";

    // However large the tree, the number of watches stays bounded, and the depth too.
    TempDir wide;
    for (int i = 0; i < 40; ++i) fs::create_directories(wide / std::to_string(i));
    fs::create_directories(wide / "a/b/c/d/e/f/g/h");
    TranscriptWatch bounded({wide.path()}, TranscriptWatch::Limits{16, 3});
    EXPECT_EQ(bounded.watchCount(), 16u);
    TranscriptWatch shallow({wide / "a"}, TranscriptWatch::Limits{100, 3});
    EXPECT_EQ(shallow.watchCount(), 4u) << "a, b, c and d";
    append(wide / "a/b/c/d/e/deep.jsonl");
    EXPECT_FALSE(shallow.drain()) << "below the depth bound";

    TranscriptWatch nowhere({home / "missing/also-missing"});
    EXPECT_FALSE(nowhere.drain());
}

TEST(TranscriptWatch, LostEventsCountAsAChangeAndTheWatchRecovers) {
    TempDir home;
    const fs::path root = home / "projects";
    fs::create_directories(root / "p");
    std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
    long limit = 0;
    if (!(limitFile >> limit) || limit <= 0 || limit > 200'000) {
        GTEST_SKIP() << "the kernel's event queue is too large to fill in a test";
    }
    TranscriptWatch watch({root});
    ASSERT_GE(watch.fd(), 0);
    // Alternating files, so the kernel cannot merge the events; none is about a transcript, so
    // only the overflow itself can make the drain report a change.
    for (long i = 0; i <= limit / 2 + 8; ++i) {
        append(root / "p/a.txt", "x");
        append(root / "p/b.txt", "x");
    }
    bool changed = false;
    for (int i = 0; i < 64; ++i) changed = watch.drain() || changed;  // each reads a bounded amount
    EXPECT_TRUE(changed);
    append(root / "p/x.jsonl");
    EXPECT_TRUE(watch.drain()) << "watching again after the overflow";
}

TEST(RefreshPacer, OneSnapshotPerGapWhileAnAgentWritesAndNoneWhenQuiet) {
    RefreshPacer pacer(2);
    int snapshots = 0;
    std::optional<double> dueAt;
    double lastSnapshot = -1;
    const auto advanceTo = [&](double now) {
        if (dueAt && now >= *dueAt) {
            const double at = *dueAt;
            dueAt.reset();
            if (pacer.due(at)) {
                ++snapshots;
                lastSnapshot = at;
            } else if (pacer.isPending()) {
                if (auto delay = pacer.changed(at)) dueAt = at + *delay;
            }
        }
    };
    const auto change = [&](double now) {
        advanceTo(now);
        if (auto delay = pacer.changed(now)) dueAt = now + *delay;
        advanceTo(now);
    };

    change(100);
    EXPECT_EQ(snapshots, 1) << "the first change after a quiet spell is read at once";
    // Ten lines a second for ten seconds.
    for (int i = 1; i <= 100; ++i) change(100 + i * 0.1);
    advanceTo(200);
    EXPECT_LE(snapshots, 1 + 6);
    EXPECT_GE(snapshots, 1 + 5);
    EXPECT_GE(lastSnapshot, 110) << "the last line written is read";
    const int afterBurst = snapshots;
    advanceTo(10'000);
    EXPECT_EQ(snapshots, afterBurst) << "nothing without a change";
    change(10'000);
    EXPECT_EQ(snapshots, afterBurst + 1) << "after a quiet spell, at once again";
}

}  // namespace
}  // namespace wren
