#include "core/system/autostart.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "temp_dir.h"

namespace wren {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t entriesIn(const fs::path& folder) {
    std::error_code error;
    std::size_t n = 0;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        ++n;
    }
    return n;
}

TEST(Autostart, FolderFollowsTheBaseDirectoryRules) {
    EXPECT_EQ(Autostart::directory("/x/config", "/home/a"), fs::path("/x/config/autostart"));
    EXPECT_EQ(Autostart::directory("relative", "/home/a"), fs::path("/home/a/.config/autostart"));
    EXPECT_EQ(Autostart::directory("", "/home/a"), fs::path("/home/a/.config/autostart"));
    EXPECT_EQ(Autostart::directory(nullptr, "/home/a"), fs::path("/home/a/.config/autostart"));
    EXPECT_EQ(Autostart::directory(nullptr, ""), fs::path());
}

TEST(Autostart, TurnsOnAndOffWholly) {
    TempDir config;
    const fs::path entry = config / "autostart" / "io.github.wrenisland.WrenIsland.desktop";
    EXPECT_FALSE(Autostart::isEnabled(entry));

    const std::string text = Autostart::entryText("/usr/bin/wrenisland");
    EXPECT_EQ(Autostart::enable(entry, text), std::nullopt);
    EXPECT_TRUE(Autostart::isEnabled(entry));
    EXPECT_EQ(contents(entry), text);
    EXPECT_EQ(fs::status(entry).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(entriesIn(entry.parent_path()), 1u);  // no temporary file left beside it

    EXPECT_EQ(Autostart::enable(entry, "[Desktop Entry]\n"), std::nullopt);  // replaced whole
    EXPECT_EQ(contents(entry), "[Desktop Entry]\n");
    EXPECT_EQ(Autostart::disable(entry), std::nullopt);
    EXPECT_FALSE(Autostart::isEnabled(entry));
    EXPECT_EQ(Autostart::disable(entry), std::nullopt);  // already off
}

TEST(Autostart, AFolderThatCannotTakeItIsAnErrorAndLeavesNothing) {
    TempDir config;
    // The entry's name taken by a folder: the rename fails after the text was written.
    const fs::path occupied = config / "a" / "io.github.wrenisland.WrenIsland.desktop";
    fs::create_directories(occupied);
    // A folder that nobody, not even root, may create anything in.
    const fs::path readOnly =
        fs::path("/proc/self/autostart/io.github.wrenisland.WrenIsland.desktop");
    for (const fs::path& entry : {occupied, readOnly}) {
        const auto error = Autostart::enable(entry, Autostart::entryText("/bin/true"));
        ASSERT_TRUE(error) << entry;
        EXPECT_NE(error->find(": "), std::string::npos) << *error;
    }
    EXPECT_TRUE(fs::is_directory(occupied));
    EXPECT_EQ(entriesIn(occupied.parent_path()), 1u);  // the temporary file is gone
}

// Desktops skip an entry that hides itself or is switched off; the menu must not tick it then.
TEST(Autostart, AnEntryThatTurnsItselfOffIsOff) {
    const struct {
        const char* text;
        bool enabled;
    } cases[] = {
        {"[Desktop Entry]\nExec=x\n", true},
        {"[Desktop Entry]\nHidden=true\n", false},
        {"[Desktop Entry]\nHidden = true\r\n", false},
        {"[Desktop Entry]\nHidden=false\n", true},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n", true},
        {"[Desktop Entry]\n#Hidden=true\nHidden[de]=true\nNoHidden=true\n", true},
        {"[Desktop Action x]\nHidden=true\n[Desktop Entry]\nExec=x\n", true},  // other group
        {"[Desktop Entry]\nExec=x\n[Desktop Action x]\nHidden=true\n", true},
        {"", true},
        {"\n\n=\n[", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Autostart::textIsEnabled(c.text), c.enabled) << c.text;
    }

    TempDir config;
    const fs::path entry = config / "io.github.wrenisland.WrenIsland.desktop";
    ASSERT_EQ(
        Autostart::enable(entry, Autostart::entryText("/usr/bin/wrenisland") + "Hidden=true\n"),
        std::nullopt);
    EXPECT_FALSE(Autostart::isEnabled(entry));
}

TEST(Autostart, TheProgramIsQuotedForTheExecKey) {
    const std::string text = Autostart::entryText("/opt/my tools/$wren%island");
    EXPECT_NE(text.find("\nExec=\"/opt/my tools/\\\\$wren%%island\"\n"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nX-GNOME-Autostart-enabled=true\n"), std::string::npos);
}

}  // namespace
}  // namespace wren
