#include "machine/agent_roots.h"

#include <gtest/gtest.h>

namespace wren::AgentRoots {
namespace {

using std::filesystem::path;

TEST(AgentRoots, VariableWhenPresentElseTheAccountHome) {
    struct Case {
        const char* value;
        path expected;
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

TEST(AgentRoots, TranscriptRootsBelowEachHome) {
    EXPECT_EQ(codexRootsOf("/x"), (std::vector<path>{"/x/sessions", "/x/archived_sessions"}));
    EXPECT_EQ(codexRootsOf("/x/"), (std::vector<path>{"/x/sessions", "/x/archived_sessions"}));
    EXPECT_EQ(claudeRootsOf("/y"), (std::vector<path>{"/y/projects"}));
    // An empty home leaves the roots relative to the current directory, not at "/".
    EXPECT_EQ(codexRootsOf(""), (std::vector<path>{"sessions", "archived_sessions"}));
    EXPECT_EQ(claudeRootsOf("~"), (std::vector<path>{"~/projects"}));
}

}  // namespace
}  // namespace wren::AgentRoots
