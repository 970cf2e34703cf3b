#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "transcript_files.h"
#include "temp_dir.h"

namespace wren {
namespace {

using testing::claudeTranscript;
using testing::codexTranscript;
using testing::TempDir;
using testing::uuidOf;

struct Outcome {
    bool exited = false;
    int status = -1;
    std::string out;
    std::string err;
};

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Runs the real binary with exactly `env` (so no DISPLAY), standard output to `stdoutFd` or, when
/// that is -1, to a file that is read back.
Outcome runIsland(const TempDir& scratch, const std::vector<std::string>& env, int stdoutFd = -1,
                  std::vector<std::string> arguments = {}) {
    const std::filesystem::path outFile = scratch / "stdout";
    const std::filesystem::path errFile = scratch / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> envp;
    for (const std::string& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    char binary[] = WRENISLAND_BINARY;
    std::vector<char*> argv{binary};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    Outcome outcome;
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, binary, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << binary;
        return outcome;
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
    if (stdoutFd < 0) outcome.out = contents(outFile);
    outcome.err = contents(errFile);
    return outcome;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

/// A profiler line with its milliseconds, which vary from run to run, replaced by "#".
std::string maskedMillis(const std::string& line) {
    // "  " + name padded to 22 + " " + 8 places + " ms   " ...
    const std::size_t ms = line.find(" ms   ");
    if (ms == std::string::npos || ms < 8) return line;
    const std::string number = line.substr(ms - 8, 8);
    const std::size_t digits = number.find_first_not_of(' ');
    const bool wellFormed = digits != std::string::npos && number.size() - digits >= 4 &&
                            number[number.size() - 3] == '.' &&
                            number.find_first_not_of("0123456789.", digits) == std::string::npos;
    return wellFormed ? line.substr(0, ms - 8) + "#" + line.substr(ms) : line;
}

class DumpEndToEnd : public ::testing::Test {
  protected:
    TempDir home_;
    TempDir scratch_;
    std::vector<std::string> env(std::vector<std::string> more) const {
        more.push_back("CLAUDE_CONFIG_DIR=" + (home_ / "claude").string());
        more.push_back("CODEX_HOME=" + (home_ / "codex").string());
        return more;
    }
};

constexpr std::int64_t kStart = 1'750'000'000;

TEST_F(DumpEndToEnd, ListsSessionsNewestFirstWithTheProfilerReport) {
    home_.write("codex/sessions/2025/06/15/rollout-2025-06-15T10-00-00-" + uuidOf(1) + ".jsonl",
                codexTranscript(uuidOf(1), "/w/site", kStart));
    home_.write("claude/projects/-w-app/" + uuidOf(2) + ".jsonl",
                claudeTranscript("/w/app", kStart - 100));
    home_.write("claude/projects/-w-evil/" + uuidOf(3) + ".jsonl",
                claudeTranscript("/w/evil\x1b[31m\tname\n", kStart - 200));
    home_.write("codex/archived_sessions/rollout-old.jsonl",
                codexTranscript("odd\xC2\x85id\n", "/w/arch", kStart - 300, 7, 1000));
    home_.write("claude/projects/-w-app/not-a-session.jsonl", "{}\n");

    const Outcome run = runIsland(scratch_, env({"WRENISLAND_DUMP=1", "WRENISLAND_PROFILE=1"}));
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Codex\t used=48000\t window=200000\t site\t " + uuidOf(1) + "\n" +
                           "Claude\t used=20510\t window=nil\t app\t " + uuidOf(2) + "\n" +
                           "Claude\t used=20510\t window=nil\t evil\\x1b[31m\\tname\\n\t " +
                           uuidOf(3) + "\n" +
                           "Codex\t used=7\t window=1000\t arch\t odd\\u0085id\\n\n");

    std::vector<std::string> report = lines(run.err);
    for (std::string& line : report) line = maskedMillis(line);
    EXPECT_EQ(report, (std::vector<std::string>{
                          "",
                          "[discovery]",
                          "  enumerate              # ms       2 calls",
                          "  read                   # ms       1 call",
                          "  discover               # ms       1 call",
                      }))
        << run.err;
}

TEST_F(DumpEndToEnd, ListsAtMostTwentyAndReportsNothingWhenProfilingIsOff) {
    for (unsigned i = 0; i < 25; ++i) {
        home_.write("claude/projects/p/" + uuidOf(i) + ".jsonl",
                    claudeTranscript("/w/p" + std::to_string(i), kStart + i));
    }
    const Outcome run = runIsland(scratch_, env({"WRENISLAND_DUMP=1", "WRENISLAND_PROFILE=true"}));
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    const std::vector<std::string> listed = lines(run.out);
    ASSERT_EQ(listed.size(), 20u);
    EXPECT_EQ(listed.front(), "Claude\t used=20510\t window=nil\t p24\t " + uuidOf(24));
    EXPECT_EQ(listed.back(), "Claude\t used=20510\t window=nil\t p5\t " + uuidOf(5));
    EXPECT_EQ(run.err, "");
}

TEST_F(DumpEndToEnd, AnyOtherValueStartsTheIslandWhichNeedsADisplay) {
    home_.write("claude/projects/p/" + uuidOf(1) + ".jsonl", claudeTranscript("/w/p", kStart));
    for (const char* value : {"WRENISLAND_DUMP=0", "WRENISLAND_DUMP=true", "WRENISLAND_DUMP=1 ",
                              "WRENISLAND_DUMP=", "UNRELATED=1"}) {
        // No DISPLAY here: one clear line and a failure, never a list and never Qt's abort.
        const Outcome run = runIsland(scratch_, env({value, "WRENISLAND_PROFILE=1"}));
        ASSERT_TRUE(run.exited) << value;
        EXPECT_EQ(run.status, 1) << value;
        EXPECT_EQ(run.out, "") << value;
        EXPECT_EQ(run.err.rfind("wrenisland: no display", 0), 0u) << value << ": " << run.err;
        EXPECT_EQ(lines(run.err).size(), 1u) << value;
    }
}

TEST_F(DumpEndToEnd, FailsWhenStandardOutputCannotBeWritten) {
    home_.write("claude/projects/p/" + uuidOf(1) + ".jsonl", claudeTranscript("/w/p", kStart));

    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    const Outcome noSpace = runIsland(scratch_, env({"WRENISLAND_DUMP=1"}), full);
    ::close(full);
    ASSERT_TRUE(noSpace.exited);
    EXPECT_EQ(noSpace.status, 1);
    EXPECT_NE(noSpace.err.find("cannot write"), std::string::npos) << noSpace.err;

    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    ::close(pipeFds[0]);  // nobody will read
    const Outcome closed = runIsland(scratch_, env({"WRENISLAND_DUMP=1"}), pipeFds[1]);
    ::close(pipeFds[1]);
    ASSERT_TRUE(closed.exited) << "a closed pipe is reported by the exit status, not a signal";
    EXPECT_EQ(closed.status, 1);
}

// The options need no display either, and the JSON snapshot and the dump say on standard error
// where they looked when they find nothing, leaving standard output in its format.
TEST_F(DumpEndToEnd, OptionsWithoutADisplay) {
    home_.write("codex/sessions/2025/06/15/rollout-2025-06-15T10-00-00-" + uuidOf(1) + ".jsonl",
                codexTranscript(uuidOf(1), "/w/site", kStart));
    const Outcome json = runIsland(scratch_, env({}), -1, {"--json"});
    ASSERT_TRUE(json.exited);
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.rfind("{\"sessions\":[{\"id\":\"codex:" + uuidOf(1) + "\"", 0), 0u)
        << json.out;
    EXPECT_EQ(json.out.back(), '\n');
    EXPECT_EQ(json.err, "");

    TempDir empty;
    const std::vector<std::string> nowhere{"CLAUDE_CONFIG_DIR=" + (empty / "c").string(),
                                           "CODEX_HOME=" + (empty / "x").string()};
    const Outcome none = runIsland(scratch_, nowhere, -1, {"--json"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out.rfind("{\"sessions\":[],\"today\":", 0), 0u) << none.out;
    EXPECT_EQ(none.err, "wrenisland: no session active in the last 24 hours under " +
                            (empty / "c/projects").string() + ", " +
                            (empty / "x/sessions").string() + ", " +
                            (empty / "x/archived_sessions").string() + "\n");
    for (const std::vector<std::string>& how :
         {std::vector<std::string>{"--dump"}, std::vector<std::string>{}}) {
        std::vector<std::string> environment = nowhere;
        if (how.empty()) environment.push_back("WRENISLAND_DUMP=1");
        const Outcome dump = runIsland(scratch_, environment, -1, how);
        EXPECT_EQ(dump.status, 0);
        EXPECT_EQ(dump.out, "");
        EXPECT_EQ(dump.err, none.err);
    }

    const Outcome help = runIsland(scratch_, {}, -1, {"--help", "-platform", "nowhere"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: wrenisland", 0), 0u);
    const Outcome version = runIsland(scratch_, {}, -1, {"--version"});
    EXPECT_EQ(version.out, "WrenIsland " WREN_VERSION "\n");
    const Outcome bad = runIsland(scratch_, {}, -1, {"--frobnicate"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err,
              "wrenisland: unknown option '--frobnicate' (wrenisland --help lists the options)\n");
}

}  // namespace
}  // namespace wren
