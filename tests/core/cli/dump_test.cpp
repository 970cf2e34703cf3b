#include "core/cli/dump.h"

#include <gtest/gtest.h>

namespace wren::Dump {
namespace {

TEST(Dump, OnlyTheExactValueOneAsksForIt) {
    EXPECT_TRUE(requested("1"));
    for (const char* value : {"0", "true", "1 ", " 1", "01", "", "yes"}) {
        EXPECT_FALSE(requested(value)) << value;
    }
    EXPECT_FALSE(requested(nullptr));
}

TEST(Dump, LineHasTheFieldsInOrder) {
    SessionSummary codex;
    codex.agent = Agent::codex;
    codex.nativeID = "0199a1b2-0000-4000-8000-000000000001";
    codex.project = "site";
    codex.reportedTokens = 48000;
    codex.contextWindow = 200000;
    EXPECT_EQ(line(codex),
              "Codex\t used=48000\t window=200000\t site\t 0199a1b2-0000-4000-8000-000000000001\n");

    SessionSummary claude;
    claude.agent = Agent::claude;
    claude.nativeID = "id\nwith\x1b";
    claude.project = kEmDash;
    EXPECT_EQ(line(claude), "Claude\t used=nil\t window=nil\t \u2014\t id\\nwith\\x1b\n");

    claude.reportedTokens = -5;
    claude.contextWindow = 0;
    EXPECT_EQ(line(claude), "Claude\t used=-5\t window=0\t \u2014\t id\\nwith\\x1b\n");
}

}  // namespace
}  // namespace wren::Dump
