#include "core/sessions/session_actions.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/sessions/deep_link.h"
#include "core/sessions/resume_command.h"
#include "core/sessions/uri_syntax.h"

namespace wren {
namespace {

constexpr const char* kUuid = "0f8fad5b-d9cb-469f-a165-70867728950e";

SessionSummary session(Agent agent, std::string nativeID,
                       std::optional<std::string> directory = "/home/u/project") {
    SessionSummary s;
    s.agent = agent;
    s.nativeID = std::move(nativeID);
    s.id = std::string(idPrefix(agent)) + s.nativeID;
    s.workingDirectory = std::move(directory);
    return s;
}

TEST(UriSyntax, AbsoluteUri) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"codex://threads/abc", true},
        {"claude://resume?session=abc", true},
        {"claude://resume?session=a/b?c:d@e", true},
        {"codex://threads/a%2Fb", true},
        {"codex://threads/it's(ok)!*+,;=$&~._-", true},
        {"mailto:someone@example.com", true},
        {"urn:isbn:0451450523", true},
        {"file:///etc/hosts", true},
        {"x:", true},
        {"http://user:pw@example.com:8080/a//b", true},
        {"http://127.0.0.1/", true},
        {"http://[::1]:80/", true},
        {"http://[2001:db8::7]/", true},
        {"http://[::ffff:192.0.2.128]/", true},
        {"http://[1:2:3:4:5:6:7:8]/", true},
        {"http://[1:2:3:4:5:6:7::]/", true},
        {"http://[v1.fe80::a+en1]/", true},
        {"http://example.com:/", true},  // an empty port is allowed
        {"", false},
        {"no-scheme", false},
        {":nothing", false},
        {"1http://x", false},
        {"ht tp://x", false},
        {"codex://threads/a b", false},
        {"codex://threads/a#b", false},  // a fragment would cut the id short
        {"codex://threads/a<b", false},
        {"codex://threads/a>b", false},
        {"codex://threads/a\"b", false},
        {"codex://threads/a\\b", false},
        {"codex://threads/a{b}", false},
        {"codex://threads/a|b", false},
        {"codex://threads/a^b", false},
        {"codex://threads/a`b", false},
        {"codex://threads/a\nb", false},
        {"codex://threads/a\tb", false},
        {"codex://threads/a\x7f"
         "b",
         false},
        {"codex://threads/\xc3\xa9", false},  // non-ASCII needs percent-encoding
        {"codex://threads/a%2", false},
        {"codex://threads/a%zz", false},
        {"codex://threads/a%", false},
        {"claude://resume?session=a%g0", false},
        {"claude://resume?session=a[b]", false},
        {"http://a@b@c/", false},
        {"http://host:80a/", false},
        {"http://[::1/", false},
        {"http://[1:2:3:4:5:6:7:8:9]/", false},
        {"http://[1::2::3]/", false},
        {"http://[12345::]/", false},
        {"http://[::256.0.0.1]/", false},
        {"http://[::01.2.3.4]/", false},
        {"http://[1:2:3:4:5:6:7:8::]/", false},
        {"http://[v.x]/", false},
        {"http://[::1]x/", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isAbsoluteUri(c.text), c.valid) << '"' << c.text << '"';
    }
}

TEST(SessionOpener, DeepLink) {
    const struct {
        Agent agent;
        const char* nativeID;
        std::optional<std::string> link;
    } cases[] = {
        {Agent::codex, "abc", "codex://threads/abc"},
        {Agent::claude, "abc", "claude://resume?session=abc"},
        {Agent::claude, kUuid, std::string("claude://resume?session=") + kUuid},
        {Agent::claude, "", "claude://resume?session="},
        {Agent::codex, "a b", std::nullopt},
        {Agent::claude, "a#b", std::nullopt},
        {Agent::codex, "<id>", std::nullopt},
        {Agent::claude, "say\"hi\"", std::nullopt},
        {Agent::codex, "line\nbreak", std::nullopt},
        {Agent::claude, "caf\xc3\xa9", std::nullopt},
        {Agent::claude, "50%", std::nullopt},
        {Agent::claude, "50%25", "claude://resume?session=50%25"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SessionOpener::deepLink(session(c.agent, c.nativeID)), c.link) << c.nativeID;
    }
}

TEST(SessionOpener, TerminalResume) {
    using SessionOpener::Launch;
    const std::string agent = "/usr/bin/agent";
    const struct {
        const char* name;
        SessionSummary session;
        std::optional<Launch> launch;
    } cases[] = {
        {"claude", session(Agent::claude, kUuid),
         Launch{"xterm", {"-e", agent, "--resume", kUuid}, "/home/u/project"}},
        {"codex, upper-case hex", session(Agent::codex, "0F8FAD5B-D9CB-469F-A165-70867728950E"),
         Launch{"xterm",
                {"-e", agent, "resume", "0F8FAD5B-D9CB-469F-A165-70867728950E"},
                "/home/u/project"}},
        {"not a UUID", session(Agent::claude, "abc"), std::nullopt},
        {"an option in disguise", session(Agent::claude, "--help"), std::nullopt},
        {"UUID with shell syntax", session(Agent::codex, "0f8fad5b-d9cb-469f-a165-7086772895;e"),
         std::nullopt},
        {"UUID one digit short", session(Agent::codex, "0f8fad5b-d9cb-469f-a165-70867728950"),
         std::nullopt},
        {"no working directory", session(Agent::claude, kUuid, std::nullopt), std::nullopt},
        {"empty working directory", session(Agent::claude, kUuid, ""), std::nullopt},
        {"relative working directory", session(Agent::claude, kUuid, "project"), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SessionOpener::terminalResume(c.session, "xterm", agent), c.launch) << c.name;
    }
    EXPECT_EQ(SessionOpener::terminalProgram(nullptr), "x-terminal-emulator");
    EXPECT_EQ(SessionOpener::terminalProgram(""), "x-terminal-emulator");
    EXPECT_EQ(SessionOpener::terminalProgram("/opt/my term"), "/opt/my term");
}

TEST(SessionActions, HintRules) {
    const Hint claudeMissing{"Claude not detected", "Download",
                             std::string(SessionActions::downloadURL(Agent::claude))};
    const Hint codexMissing{"Codex not detected", "Download",
                            std::string(SessionActions::downloadURL(Agent::codex))};
    const Hint failed{"Could not reopen that session", "", std::nullopt};
    const Hint wrenMem{"Needs WrenMem \u2014 memory that carries across your AI tools",
                       "Learn more", "https://wren.example/#install-dock"};

    EXPECT_EQ(SessionActions::notDetected(Agent::claude), claudeMissing);
    EXPECT_EQ(SessionActions::notDetected(Agent::codex), codexMissing);
    EXPECT_EQ(SessionActions::reopenFailed(), failed);
    EXPECT_NE(claudeMissing.url, codexMissing.url);

    // Reopening: the opener is asked only when the agent is installed.
    const SessionSummary claude = session(Agent::claude, "abc");
    struct OpenCase {
        const char* name;
        bool installed;
        bool opens;
        HintChange change;
        int calls;
    };
    const OpenCase openCases[] = {
        {"installed, opened", true, true, std::nullopt, 1},
        {"installed, declined", true, false, failed, 1},
        {"not installed", false, true, claudeMissing, 0},
    };
    for (const auto& c : openCases) {
        int calls = 0;
        const auto change = SessionActions::openSession(claude, c.installed, [&](const auto& s) {
            ++calls;
            EXPECT_EQ(s.id, claude.id);
            return c.opens;
        });
        EXPECT_EQ(change, c.change) << c.name;
        EXPECT_EQ(calls, c.calls) << c.name;
    }
    EXPECT_EQ(SessionActions::openSession(claude, true, nullptr), failed);

    EXPECT_EQ(SessionActions::start(Agent::codex, true), std::nullopt);
    EXPECT_EQ(SessionActions::start(Agent::codex, false), codexMissing);
    EXPECT_EQ(SessionActions::saveMemory(true, *wrenMem.url), std::nullopt);
    // Pressing twice gives the same hint: nothing visible changes.
    EXPECT_EQ(SessionActions::saveMemory(false, *wrenMem.url), wrenMem);
    EXPECT_EQ(SessionActions::saveMemory(false, *wrenMem.url), wrenMem);
    const Hint noLink{wrenMem.text, "", std::nullopt};
    EXPECT_EQ(SessionActions::saveMemory(false, ""), noLink);
}

}  // namespace
}  // namespace wren
