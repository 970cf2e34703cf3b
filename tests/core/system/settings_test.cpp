#include "core/system/settings.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_dir.h"

namespace wren {
namespace {

namespace fs = std::filesystem;

TEST(Settings, FileFollowsTheBaseDirectoryRules) {
    EXPECT_EQ(Settings::path("/x/c", "/home/a"), fs::path("/x/c/wrenisland/wrenisland.conf"));
    EXPECT_EQ(Settings::path("rel", "/home/a"),
              fs::path("/home/a/.config/wrenisland/wrenisland.conf"));
    EXPECT_EQ(Settings::path(nullptr, ""), fs::path());
}

TEST(Settings, ParseTakesWhatItKnowsAndIgnoresTheRest) {
    struct Case {
        const char* text;
        Settings expected;
    };
    const Case cases[] = {
        {"", {}},
        {"overTopPanel=true\n", {.overTopPanel = true}},
        {"[WrenIsland]\r\n showOverFullScreen = true \r\nnotifyWhenFinished=true",
         {.showOverFullScreen = true, .notifyWhenFinished = true}},
        {"overTopPanel=yes\noverTopPanel\n=true\nfuture=true\n# overTopPanel=true\n", {}},
        {"overTopPanel=true\noverTopPanel=false\n", {}},  // the last one counts
    };
    for (const Case& c : cases) EXPECT_EQ(Settings::parse(c.text), c.expected) << c.text;
    const Settings all{true, true, true};
    EXPECT_EQ(Settings::parse(all.format()), all);
}

TEST(Settings, LoadAndSaveRoundTripAndNeverBlock) {
    testing::TempDir dir;
    const fs::path file = dir.path() / "deeper" / "wrenisland.conf";
    EXPECT_EQ(Settings::load(file), Settings{});  // absent
    const Settings chosen{.overTopPanel = true, .notifyWhenFinished = true};
    ASSERT_EQ(chosen.save(file), std::nullopt);
    EXPECT_EQ(Settings::load(file), chosen);
    EXPECT_EQ(fs::directory_iterator(file.parent_path())->path(), file);  // no temporary left

    const fs::path fifo = dir.path() / "fifo.conf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Settings::load(fifo), Settings{});
    EXPECT_NE(chosen.save(dir.path() / "fifo.conf" / "x"), std::nullopt);
}

}  // namespace
}  // namespace wren
