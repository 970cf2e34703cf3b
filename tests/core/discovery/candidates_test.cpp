#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/discovery/session_discovery.h"
#include "temp_dir.h"

namespace wren::SessionDiscovery {
namespace {

namespace fs = std::filesystem;
using testing::setModified;
using testing::TempDir;

constexpr double kNow = 1'700'000'000;
constexpr double kHour = 3600;

/// Writes a transcript-named file last modified `age` seconds before kNow.
fs::path fileAged(const TempDir& dir, std::string_view name, double age) {
    const fs::path file = dir.write(name, "{}\n");
    setModified(file, kNow - age);
    return file;
}

/// The results as paths relative to `base`, sorted: the order within a directory is the file
/// system's, and only the order across roots is promised.
std::vector<std::string> relative(const std::vector<fs::path>& found, const fs::path& base) {
    std::vector<std::string> names;
    for (const fs::path& file : found) names.push_back(file.lexically_relative(base).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> found(const TempDir& dir, double now = kNow) {
    return relative(candidates({dir.path()}, instantFromUnix(now)), dir.path());
}

TEST(Candidates, RecentRegularTranscriptFilesOnly) {
    TempDir dir;
    fileAged(dir, "a.jsonl", 23 * kHour);
    fileAged(dir, "old.jsonl", 25 * kHour);
    fileAged(dir, "future.jsonl", -kHour);
    fileAged(dir, "a.json", kHour);
    fileAged(dir, "a.JSONL", kHour);
    fileAged(dir, "a.jsonl.bak", kHour);
    fileAged(dir, "jsonl", kHour);
    fileAged(dir, ".x.jsonl", kHour);
    fileAged(dir, ".tmp/x.jsonl", kHour);
    fileAged(dir, "p/q/r/deep.jsonl", kHour);
    fileAged(dir, "p/.hidden/deep.jsonl", kHour);
    fileAged(dir, "d.jsonl/inner.jsonl", kHour);  // a directory with the extension is walked
    fileAged(dir, std::string("new\nline.jsonl"), kHour);
    fileAged(dir, std::string("\xff\xfe bytes.jsonl"), kHour);

    const fs::path target = fileAged(dir, "target.txt", kHour);
    fs::create_symlink(target, dir / "b.jsonl");
    fs::create_symlink("/dev/zero", dir / "zero.jsonl");
    ASSERT_EQ(::mkfifo((dir / "fifo.jsonl").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "p/fifo.jsonl").c_str(), 0600), 0);

    EXPECT_EQ(found(dir), (std::vector<std::string>{
                              "a.jsonl",
                              "d.jsonl/inner.jsonl",
                              "future.jsonl",
                              "new\nline.jsonl",
                              "p/q/r/deep.jsonl",
                              "\xff\xfe bytes.jsonl",
                          }));
}

TEST(Candidates, CutoffIsInclusiveAtExactlyOneDayAgo) {
    TempDir dir;
    const fs::path file = dir.write("edge.jsonl", "{}\n");
    setModified(file, kNow);
    struct Case {
        double now;
        bool found;
    };
    const Case cases[] = {
        {kNow + 86400, true},      {kNow + 86400.001, false},  {kNow + 86399.999, true},
        {kNow + 23 * kHour, true}, {kNow + 25 * kHour, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(found(dir, c.now).size(), c.found ? 1u : 0u) << std::fixed << c.now - kNow;
    }
}

TEST(Candidates, RootsInOrderAndBadRootsContributeNothing) {
    TempDir dir;
    fileAged(dir, "first/a.jsonl", kHour);
    fileAged(dir, "second/b.jsonl", kHour);
    const fs::path plainFile = fileAged(dir, "plain.jsonl", kHour);
    const std::vector<fs::path> roots = {dir / "first", dir / "missing", plainFile, "",
                                         dir / "second"};
    const std::vector<fs::path> result = candidates(roots, instantFromUnix(kNow));
    EXPECT_EQ(result, (std::vector<fs::path>{dir / "first/a.jsonl", dir / "second/b.jsonl"}));
    EXPECT_TRUE(candidates({}, instantFromUnix(kNow)).empty());
}

TEST(Candidates, SymlinksBelowARootAreNeverFollowed) {
    TempDir dir;
    TempDir elsewhere;
    fileAged(dir, "root/a.jsonl", kHour);
    fileAged(elsewhere, "outside.jsonl", kHour);
    fs::create_directory_symlink(".", dir / "root/loop");
    fs::create_directory_symlink("..", dir / "root/up");
    fs::create_directory_symlink(elsewhere.path(), dir / "root/linked");
    fs::create_directory_symlink(dir / "root", dir / "via");

    EXPECT_EQ(relative(candidates({dir / "root"}, instantFromUnix(kNow)), dir / "root"),
              std::vector<std::string>{"a.jsonl"});
    // The root itself may be a link (a home kept elsewhere); only what lies below is not followed.
    EXPECT_EQ(relative(candidates({dir / "via"}, instantFromUnix(kNow)), dir / "via"),
              std::vector<std::string>{"a.jsonl"});
}

TEST(Candidates, UnreadableDirectoryIsPassedOver) {
    TempDir dir;
    fileAged(dir, "a/one.jsonl", kHour);
    fileAged(dir, "locked/two.jsonl", kHour);
    fileAged(dir, "z/three.jsonl", kHour);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    fs::permissions(dir / "locked", fs::perms::none);
    struct Unlock {
        fs::path locked;
        ~Unlock() { fs::permissions(locked, fs::perms::owner_all); }  // so it can be removed
    } unlock{dir / "locked"};
    const std::vector<std::string> expected = {"a/one.jsonl", "z/three.jsonl"};

    if (::geteuid() != 0) {
        EXPECT_EQ(found(dir), expected);
        return;
    }
    // Permissions do not bind root, so walk as an unprivileged account in a child process.
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::access(dir.path().c_str(), R_OK | X_OK) != 0) {
            ::_exit(77);
        }
        std::string text;
        for (const std::string& name : found(dir)) text += name + "\n";
        const bool sent =
            ::write(channel[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "running as root, and an unprivileged account cannot be used here";
    }
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text, "a/one.jsonl\nz/three.jsonl\n");
}

TEST(Candidates, ManyOldFilesBesideAFewRecentOnes) {
    TempDir dir;
    // Made with their current time stamps and looked at from 30 hours on, so only the few
    // recent ones need a time stamp of their own.
    const double later = unixSeconds(Instant(std::chrono::system_clock::now())) + 30 * kHour;
    for (int d = 0; d < 100; ++d) fs::create_directories(dir / ("old/" + std::to_string(d)));
    for (int i = 0; i < 20000; ++i) {
        const fs::path file =
            dir / ("old/" + std::to_string(i % 100) + "/" + std::to_string(i) + ".jsonl");
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    for (int i = 0; i < 50; ++i) {
        const fs::path file = dir.write(
            "old/" + std::to_string(i) + "/recent" + std::to_string(i) + ".jsonl", "{}\n");
        setModified(file, later - kHour);
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> names = found(dir, later);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(names.size(), 50u);
    for (const std::string& name : names) EXPECT_NE(name.find("/recent"), std::string::npos);
    RecordProperty(
        "walk_ms",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
}

// A folder is listed in batches of what fits the listing's buffer: one many batches long, with
// a subfolder among its entries, yields every transcript once.
TEST(Candidates, FolderLargerThanOneBatchIsListedWhole) {
    TempDir dir;
    std::vector<std::string> expected{"big/sub/inner.jsonl"};
    fileAged(dir, expected.front(), kHour);
    const std::string stem(60, 's');  // long names, so a few hundred fill a batch
    for (int i = 0; i < 3000; ++i) {
        expected.push_back("big/" + stem + std::to_string(i) + ".jsonl");
        fileAged(dir, expected.back(), kHour);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found(dir), expected);
}

int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

TEST(Candidates, DepthIsBoundedAndDescriptorsAreReturned) {
    TempDir dir;
    // Directories 1 to 200 levels deep, a transcript in each of a few of them.
    fs::path level = dir.path();
    std::vector<std::string> expected;
    for (int depth = 1; depth <= 200; ++depth) {
        level /= "d";
        if (depth == 1 || depth == kMaxWalkDepth || depth == kMaxWalkDepth + 1 || depth == 200) {
            fs::create_directories(level);
            const fs::path file = level / ("at" + std::to_string(depth) + ".jsonl");
            setModified(dir.write(file.lexically_relative(dir.path()).string(), "{}\n"),
                        kNow - kHour);
            if (depth <= kMaxWalkDepth) {
                expected.push_back(file.lexically_relative(dir.path()).string());
            }
        }
    }
    std::sort(expected.begin(), expected.end());

    const int before = openDescriptors();
    EXPECT_EQ(found(dir), expected);
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
}  // namespace wren::SessionDiscovery
