#include "core/discovery/install_state.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace wren {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A scratch machine: a home and a root for the absolute markers.
struct FakeMachine {
    TempDir dir;
    InstallPaths paths{dir / "home", dir / "root"};

    FakeMachine() {
        fs::create_directories(paths.home);
        fs::create_directories(paths.root);
    }
    // "~/x" lands in the home, "/x" under the root; a trailing "/" makes a directory.
    void add(std::string_view marker, std::string_view text = "") const {
        const fs::path path = *paths.resolve(marker);
        if (marker.ends_with('/')) {
            fs::create_directories(path);
        } else {
            fs::create_directories(path.parent_path());
            dir.write(fs::relative(path, dir.path()).string(), text);
        }
    }
};

TEST(AgentAvailability, ParseForcedMissing) {
    using Tokens = std::set<std::string>;
    struct Case {
        const char* value;
        Tokens expected;
    };
    const Case cases[] = {
        {"", {}},
        {" ClAuDe ,wrenmem", {"claude", "wrenmem"}},
        {",,codex,,", {"codex"}},
        {"\tCODEX\t", {"codex"}},
        {"a, ,b", {"a", "", "b"}},
        {"claude\n", {"claude\n"}},
        {"\ncodex", {"\ncodex"}},
        {"clau de", {"clau de"}},
        {"claude,claude", {"claude"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AgentAvailability::parseForcedMissing(c.value), c.expected) << c.value;
    }
}

TEST(InstallState, ProbeAgainstMarkersAndForcedMissing) {
    struct Case {
        const char* name;
        std::vector<const char*> markers;
        std::optional<const char*> force;
        std::set<Agent> agents;
        bool wrenMem;
    };
    const Case cases[] = {
        {"nothing installed", {}, std::nullopt, {}, false},
        {"only ~/.codex", {"~/.codex/"}, std::nullopt, {Agent::codex}, false},
        {"app bundles",
         {"/Applications/Claude.app/", "~/Applications/ChatGPT.app/"},
         std::nullopt,
         {Agent::claude, Agent::codex},
         false},
        {"executables",
         {"/opt/homebrew/bin/claude", "/usr/local/bin/codex"},
         std::nullopt,
         {Agent::claude, Agent::codex},
         false},
        {"last marker",
         {"~/.local/bin/claude", "~/.local/bin/codex"},
         std::nullopt,
         {Agent::claude, Agent::codex},
         false},
        {"companion presence", {"~/.wrenmem"}, std::nullopt, {}, true},
        {"forced tokens in mixed case with blanks",
         {"~/.claude/", "~/.codex/", "~/.wrenmem/"},
         " ClAuDe , wrenmem",
         {Agent::codex},
         false},
        {"claudex forces nothing", {"~/.claude/", "~/.wrenmem"}, "claudex", {Agent::claude}, true},
        {"companion name inside a word",
         {"~/.claude/", "~/.codex/", "~/.wrenmem"},
         "xwrenmemx",
         {Agent::claude, Agent::codex},
         false},
        {"companion force is case-blind", {"~/.wrenmem"}, "WRENMEM", {}, false},
        {"a set but empty variable", {"~/.codex/"}, "", {Agent::codex}, false},
    };
    for (const Case& c : cases) {
        FakeMachine machine;
        for (const char* marker : c.markers) machine.add(marker);
        const auto force = c.force ? std::optional<std::string_view>(*c.force) : std::nullopt;
        EXPECT_EQ(InstallState::probe(machine.paths, force), (InstallState{c.agents, c.wrenMem}))
            << c.name;
    }
}

TEST(AgentAvailability, MarkerExistenceFollowsSymbolicLinks) {
    FakeMachine machine;
    machine.add("~/bin/real-claude");
    fs::create_directories(machine.paths.home / ".local" / "bin");
    fs::create_symlink(machine.paths.home / "bin" / "real-claude",
                       machine.paths.home / ".local" / "bin" / "claude");
    fs::create_symlink(machine.paths.home / "nowhere", machine.paths.home / ".codex");
    EXPECT_TRUE(AgentAvailability::isInstalled(Agent::claude, {}, machine.paths));
    EXPECT_FALSE(AgentAvailability::isInstalled(Agent::codex, {}, machine.paths));

    // Without a home, "~/" markers are absent rather than relative to the working directory.
    const InstallPaths homeless{{}, machine.paths.root};
    EXPECT_FALSE(homeless.resolve("~/.claude"));
    EXPECT_FALSE(AgentAvailability::isInstalled(Agent::claude, {}, homeless));
}

TEST(WrenMemPresence, RegistrationMentionInEitherConfig) {
    const std::string invalidUtf8 = "{\"mcpServers\":{\"wrenmem\":{}},\"x\":\"\xC3\x28\"}";
    struct Case {
        const char* name;
        std::optional<std::string> claudeJson;
        std::optional<std::string> codexToml;
        bool expected;
    };
    const Case cases[] = {
        {"server entry in ~/.claude.json",
         R"({"mcpServers":{"wrenmem":{"command":"/opt/wrenmem/bin/server"}}})", std::nullopt, true},
        {"only ~/.codex/config.toml", R"({"mcpServers":{}})",
         "[mcp_servers.wrenmem]\ncommand = \"wm\"\n", true},
        {"a comment counts", std::nullopt, "# try wrenmem later\n", true},
        {"other case only", R"({"mcpServers":{"WrenMem":{}}})", "[mcp_servers.WRENMEM]\n", false},
        {"invalid UTF-8 does not mention it", invalidUtf8, std::nullopt, false},
        {"invalid first file, valid second", invalidUtf8, "wrenmem = true\n", true},
        {"neither file", std::nullopt, std::nullopt, false},
        {"split name", "wren mem", "wren\nmem", false},
    };
    for (const Case& c : cases) {
        FakeMachine machine;
        if (c.claudeJson) machine.add("~/.claude.json", *c.claudeJson);
        if (c.codexToml) machine.add("~/.codex/config.toml", *c.codexToml);
        EXPECT_EQ(WrenMemPresence::isInstalled(machine.paths, std::nullopt), c.expected) << c.name;
        EXPECT_FALSE(WrenMemPresence::isInstalled(machine.paths, "wrenmem")) << c.name;
    }
}

TEST(WrenMemPresence, StrangeRegistrationFilesAreUnreadable) {
    FakeMachine machine;
    const auto claudeJson = machine.paths.home / ".claude.json";
    ASSERT_EQ(::mkfifo(claudeJson.c_str(), 0600), 0);
    machine.add("~/.codex/config.toml/");  // a directory
    auto done = std::async(std::launch::async,
                           [&] { return WrenMemPresence::registeredAsMCPServer(machine.paths); });
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "a FIFO as ~/.claude.json blocked the probe";
        ::close(::open(claudeJson.c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_FALSE(done.get());

    fs::remove(machine.paths.home / ".codex" / "config.toml");
    machine.add("~/.codex/config.toml", "wrenmem");
    EXPECT_TRUE(WrenMemPresence::registeredAsMCPServer(machine.paths));
}

TEST(WrenMemPresence, FileMentionsAcrossReadChunks) {
    constexpr std::size_t kChunk = 1u << 20;
    const std::string euro = "\xE2\x82\xAC";  // three bytes
    struct Case {
        const char* name;
        std::string text;
        bool expected;
    };
    const Case cases[] = {
        {"name across the chunk seam", std::string(kChunk - 3, 'a') + "wrenmem", true},
        {"name ends the first chunk", std::string(kChunk - 7, 'a') + "wrenmem" + "b", true},
        {"name starts the second chunk", std::string(kChunk, 'a') + "wrenmem", true},
        {"character across the seam", std::string(kChunk - 1, 'a') + euro + "wrenmem", true},
        {"character ends the file cut",
         "wrenmem" + std::string(kChunk - 7, 'a') + euro.substr(0, 2), false},
        {"character cut at the end of a whole chunk",
         "wrenmem" + std::string(kChunk - 9, 'a') + euro.substr(0, 2), false},
        {"bad byte deep in the file", "wrenmem" + std::string(3 * kChunk, 'a') + "\xFF", false},
        {"valid without the name", std::string(2 * kChunk + 5, 'a'), false},
        {"three chunks, name at the end", std::string(2 * kChunk + 11, 'a') + "wrenmem", true},
        {"empty", "", false},
        {"byte-order mark", "\xEF\xBB\xBFwrenmem", true},
        {"encoded surrogate", "wrenmem\xED\xA0\x80", false},
        {"overlong encoding", "wrenmem\xC0\xAF", false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        EXPECT_EQ(WrenMemPresence::fileMentions(dir.write("f", c.text), "wrenmem"), c.expected)
            << c.name;
    }
    EXPECT_FALSE(WrenMemPresence::fileMentions(dir / "missing", "wrenmem"));
}

TEST(WrenMemPresence, OversizedRegistrationFileCountsAsUnreadable) {
    TempDir dir;
    const auto path = dir.write("big", "wrenmem");
    // Sparse: zero bytes are valid text, and cost no disk.
    ASSERT_EQ(::truncate(path.c_str(), 64 << 20), 0);
    EXPECT_FALSE(WrenMemPresence::fileMentions(path, "wrenmem"));
    ASSERT_EQ(::truncate(path.c_str(), (64 << 20) - 1), 0);
    EXPECT_TRUE(WrenMemPresence::fileMentions(path, "wrenmem"));
}

TEST(InstallState, ProcessProbeMatchesItsParts) {
    // The process-wide probe is the injected one over the account's home and the real root.
    const char* force = std::getenv("WRENISLAND_FORCE_MISSING");
    const auto expected = InstallState::probe(
        InstallPaths::process(), force ? std::optional<std::string_view>(force) : std::nullopt);
    EXPECT_EQ(InstallState::probe(), expected);
    for (const Agent agent : kAllAgents) {
        EXPECT_EQ(AgentAvailability::isInstalled(agent), expected.agents.contains(agent));
    }
    EXPECT_EQ(WrenMemPresence::isInstalled(), expected.wrenMem);
}

}  // namespace
}  // namespace wren
