#include "core/system/clean_launch.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "temp_dir.h"

namespace wren {
namespace {

std::string slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string statusLine(const std::string& status, const std::string& key) {
    const std::size_t at = status.find(key + ":");
    if (at == std::string::npos) return "missing";
    const std::size_t start = status.find_first_not_of(" \t", at + key.size() + 1);
    return status.substr(start, status.find('\n', at) - start);
}

// The child copies its own /proc status and environment into the folder it was started in.
TEST(CleanLaunch, AStartedProgramGetsTheUsersSignalsEnvironmentAndFolder) {
    testing::TempDir dir;
    setenv("WREN_LAUNCH_USER", "user value", 1);
    unsetenv("WREN_LAUNCH_ABSENT");
    CleanLaunch::setForIsland("WREN_LAUNCH_USER", "island value");
    CleanLaunch::setForIsland("WREN_LAUNCH_ABSENT", "island only");
    CleanLaunch::setForIsland("WREN_LAUNCH_USER", "island again");  // the user's value stays
    EXPECT_STREQ(std::getenv("WREN_LAUNCH_USER"), "island again");

    // The island's own state: quit signals blocked in every thread, and one signal ignored.
    bool started = false;
    std::thread worker([&] {
        sigset_t quit;
        sigemptyset(&quit);
        sigaddset(&quit, SIGINT);
        sigaddset(&quit, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &quit, nullptr);
        struct sigaction ignore {
        }, old{};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGUSR2, &ignore, &old);
        started = CleanLaunch::startDetached("cp", {"/proc/self/status", "/proc/self/environ", "."},
                                             dir.path().string());
        sigaction(SIGUSR2, &old, nullptr);
    });
    worker.join();
    ASSERT_TRUE(started);

    // cp writes the environment second, each file in one go.
    const auto environ = dir / "environ";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!(std::filesystem::exists(environ) && std::filesystem::file_size(environ) > 0)) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the child never ran";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string status = slurp(dir / "status");
    EXPECT_EQ(statusLine(status, "SigBlk"), "0000000000000000");
    EXPECT_EQ(statusLine(status, "SigIgn"), "0000000000000000");
    const std::string environment = '\0' + slurp(environ);
    EXPECT_NE(environment.find(std::string("\0WREN_LAUNCH_USER=user value\0", 29)),
              std::string::npos);
    EXPECT_EQ(environment.find("WREN_LAUNCH_ABSENT="), std::string::npos);
    EXPECT_EQ(environment.find("=island "), std::string::npos);
}

TEST(CleanLaunch, WhatCannotStartSaysSo) {
    testing::TempDir dir;
    const auto plain = dir.write("plain.txt", "not a program");
    struct Case {
        std::string program;
        std::string directory;
    };
    for (const Case& c :
         {Case{"wren-no-such-program", ""}, Case{plain.string(), ""}, Case{dir.path().string(), ""},
          Case{"", ""}, Case{"true", (dir / "gone").string()}}) {
        SCOPED_TRACE(c.program + " in " + c.directory);
        EXPECT_FALSE(CleanLaunch::startDetached(c.program, {}, c.directory));
    }
    EXPECT_TRUE(CleanLaunch::startDetached("true", {}, dir.path().string()));
}

}  // namespace
}  // namespace wren
