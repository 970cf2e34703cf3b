#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "transcript_files.h"
#include "temp_dir.h"

namespace wren {
namespace {

using testing::claudeTranscript;
using testing::TempDir;
using testing::uuidOf;

// Generous bounds so a loaded machine never fails a test; they only keep a broken build from
// hanging the suite.
constexpr int kLineBoundMs = 20'000;
constexpr int kExitBoundMs = 20'000;

/// `wrenisland --watch` on a temporary home, its standard output a pipe this test reads.
class WatchProcess {
  public:
    explicit WatchProcess(const TempDir& home) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        out_ = fds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string claude = "CLAUDE_CONFIG_DIR=" + (home / "claude").string();
        const std::string codex = "CODEX_HOME=" + (home / "codex").string();
        char* envp[] = {const_cast<char*>(claude.c_str()), const_cast<char*>(codex.c_str()),
                        nullptr};
        char binary[] = WRENISLAND_BINARY;
        char option[] = "--watch";
        char* argv[] = {binary, option, nullptr};
        if (::posix_spawn(&pid_, binary, &actions, nullptr, argv, envp) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
    }
    ~WatchProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        closeOutput();
    }

    bool started() const { return pid_ > 0 && out_ >= 0; }

    /// The next whole line, or empty when none came within the bound.
    std::string nextLine() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLineBoundMs);
        while (true) {
            const std::size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{out_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return {};
            char buffer[65536];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) return {};
            pending_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    void closeOutput() {
        if (out_ >= 0) ::close(out_);
        out_ = -1;
    }

    /// The exit status once it has ended by itself within the bound; -1 otherwise.
    int exitStatus() {
        for (int waited = 0; waited < kExitBoundMs; waited += 10) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
};

std::int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TEST(WatchEndToEnd, PrintsALineWhenATranscriptChangesAndEndsCleanly) {
    TempDir home;
    std::filesystem::create_directories(home / "claude/projects");
    WatchProcess watch(home);
    ASSERT_TRUE(watch.started());

    const std::string first = watch.nextLine();
    EXPECT_EQ(first.rfind("{\"sessions\":[]", 0), 0u) << first;

    // A session appears in a project folder that did not exist when the watch began.
    home.write("claude/projects/-w-app/" + uuidOf(7) + ".jsonl",
               claudeTranscript("/w/app", unixNow() - 30));
    const std::string second = watch.nextLine();
    EXPECT_NE(second.find(uuidOf(7)), std::string::npos) << second;
    EXPECT_NE(second.find("\"activeSessions\":1"), std::string::npos) << second;

    ASSERT_EQ(::kill(watch.pid(), SIGTERM), 0);
    EXPECT_EQ(watch.exitStatus(), 0) << "SIGTERM ends it cleanly";

    // When the program reading it goes away, it ends by itself, even with nothing to print.
    WatchProcess orphan(home);
    ASSERT_TRUE(orphan.started());
    EXPECT_NE(orphan.nextLine().find(uuidOf(7)), std::string::npos);
    orphan.closeOutput();
    EXPECT_EQ(orphan.exitStatus(), 0);
}

}  // namespace
}  // namespace wren
