#include "core/discovery/agent_roots.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/discovery/home_directory.h"

namespace wren::AgentRoots {
namespace {

using std::filesystem::path;

TEST(AgentRoots, VariableWhenPresentElseTheAccountHome) {
    struct Case {
        const char* value;
        std::optional<path> expected;
    };
    const Case cases[] = {
        {nullptr, "/home/wren/.codex"},
        {"/x", "/x"},
        {"/x/", "/x/"},
        {"", ""},                  // present but empty still wins: the current directory
        {"~/agents", "~/agents"},  // no tilde expansion: a directory named "~" here
        {" /x ", " /x "},
        {"relative/dir", "relative/dir"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(homeFrom(c.value, "/home/wren", ".codex"), c.expected)
            << (c.value ? c.value : "(unset)");
    }
    EXPECT_EQ(homeFrom(nullptr, "/home/wren", ".claude"), path("/home/wren/.claude"));
}

// An account without a home has no default roots at all, not ".codex" below whatever the
// current directory happens to be; a variable still names a home.
TEST(AgentRoots, NoAccountHomeMeansNoDefaultRoots) {
    EXPECT_EQ(homeFrom(nullptr, "", ".codex"), std::nullopt);
    EXPECT_EQ(homeFrom(nullptr, "", ".claude"), std::nullopt);
    EXPECT_EQ(homeFrom("/x", "", ".codex"), path("/x"));
    EXPECT_EQ(homeFrom("", "", ".codex"), path(""));
    EXPECT_TRUE(codexRootsOf(std::nullopt).empty());
    EXPECT_TRUE(claudeRootsOf(std::nullopt).empty());
}

TEST(HomeDirectory, TildeNeedsAHome) {
    struct Case {
        const char* tilde;
        const char* home;
        std::optional<path> expected;
    };
    const Case cases[] = {
        {"~/.local/bin", "/home/wren", path("/home/wren/.local/bin")},
        {"~", "/home/wren", path("/home/wren")},
        {"/usr/local/bin", "/home/wren", path("/usr/local/bin")},
        {"~other/x", "/home/wren", path("~other/x")},  // only the account's own home
        {"~/.local/bin", "", std::nullopt},            // never ./.local/bin
        {"~", "", std::nullopt},
        {"/usr/local/bin", "", path("/usr/local/bin")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expandTilde(c.tilde, c.home), c.expected) << c.tilde << " home " << c.home;
    }
}

// The agents write under $HOME, so it wins whenever it can name a place; only then is the
// account database asked, and a relative answer from either names no home at all.
TEST(HomeDirectory, HomeVariableWhenAbsoluteElseTheAccount) {
    struct Case {
        const char* variable;
        const char* account;
        const char* expected;
        bool asksAccount;
    };
    const Case cases[] = {
        {"/srv/home/wren", "/home/wren", "/srv/home/wren", false},
        {nullptr, "/home/wren", "/home/wren", true},
        {"", "/home/wren", "/home/wren", true},
        {"relative/home", "/home/wren", "/home/wren", true},
        {"~", "/home/wren", "/home/wren", true},
        {nullptr, "", "", true},
        {nullptr, "home/wren", "", true},
        {"", "", "", true},
    };
    for (const Case& c : cases) {
        bool asked = false;
        const path home = chooseHome(c.variable, [&] {
            asked = true;
            return path(c.account);
        });
        EXPECT_EQ(home, path(c.expected)) << (c.variable ? c.variable : "(unset)");
        EXPECT_EQ(asked, c.asksAccount) << (c.variable ? c.variable : "(unset)");
    }
    // The process's own answer follows the same rule over its real environment.
    EXPECT_EQ(userHome(), chooseHome(std::getenv("HOME"), accountHome));
}

TEST(AgentRoots, TranscriptRootsBelowEachHome) {
    EXPECT_EQ(codexRootsOf(path("/x")), (std::vector<path>{"/x/sessions", "/x/archived_sessions"}));
    EXPECT_EQ(codexRootsOf(path("/x/")),
              (std::vector<path>{"/x/sessions", "/x/archived_sessions"}));
    EXPECT_EQ(claudeRootsOf(path("/y")), (std::vector<path>{"/y/projects"}));
    // An empty variable leaves the roots relative to the current directory, not at "/".
    EXPECT_EQ(codexRootsOf(path("")), (std::vector<path>{"sessions", "archived_sessions"}));
    EXPECT_EQ(claudeRootsOf(path("~")), (std::vector<path>{"~/projects"}));
}

}  // namespace
}  // namespace wren::AgentRoots
