#include "core/cli/json_snapshot.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <chrono>
#include <cmath>
#include <string>

#include "transcript_files.h"
#include "temp_dir.h"

namespace wren {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::claudeTranscript;
using testing::codexTranscript;
using testing::TempDir;
using testing::uuidOf;

const LocalCalendar kUtc("UTC");

// 2025-09-10T12:00:00Z and moments before it.
constexpr double kNoon = 1757505600;

TEST(JsonSnapshot, AnEmptyHome) {
    EXPECT_EQ(JsonSnapshot::document(MachineSnapshot{}, instantFromUnix(kNoon), kUtc),
              R"({"sessions":[],"today":{"tokens":0,"workedSeconds":0,"activeSessions":0},)"
              R"("rateLimits":{"claude":null,"codex":null},)"
              R"("installed":{"claude":false,"codex":false,"wrenmem":false}})");
}

// Every member, spelled out: values and nulls, escapes, and text that is no valid UTF-8 (a
// summary can be built from anything; the document must still be valid JSON).
TEST(JsonSnapshot, EveryMemberOfEveryPart) {
    SessionSummary full;
    full.id = "codex:S-1";
    full.nativeID = "S-1";
    full.agent = Agent::codex;
    full.project = "qu\"o\\te \x1b[31m \xE2\x80\xAE";
    full.workingDirectory = "/w/qu\"o\\te";
    full.lastActivity = instantFromUnix(kNoon - 90.25);
    full.lastUserMessage = "bad \xFF byte\nand a line";
    full.turns = 3;
    full.contextWindow = 200000;
    full.reportedTokens = 1000;
    full.segments = {{"useful", "Useful", 600, {}}, {"stale", "Stale reads", 400, {}}};
    full.turn = TurnState::ended;

    SessionSummary bare;  // yesterday, nothing known but its time
    bare.id = "claude:" + uuidOf(2);
    bare.nativeID = uuidOf(2);
    bare.agent = Agent::claude;
    bare.project = kEmDash;
    bare.lastActivity = instantFromUnix(kNoon - 13 * 3600);

    MachineSnapshot snapshot;
    snapshot.sessions = {full, bare};
    snapshot.windows[Agent::claude] = RateWindow{12.5, 300, instantFromUnix(1757520000)};
    snapshot.windows[Agent::codex] = RateWindow{140, 10080, std::nullopt};
    snapshot.quotas[Agent::codex] = {
        RateWindow{140, 10080, std::nullopt, QuotaSource::transcript, std::nullopt},
        RateWindow{3, 300, instantFromUnix(kNoon + 600), QuotaSource::cache,
                   instantFromUnix(kNoon - 3 * 3600)}};
    snapshot.installs.agents = {Agent::codex};
    snapshot.installs.wrenMem = true;

    const std::string document = JsonSnapshot::document(snapshot, instantFromUnix(kNoon), kUtc);
    EXPECT_EQ(document,
              R"({"sessions":[{"id":"codex:S-1","agent":"Codex","nativeID":"S-1",)"
              R"("project":"qu\"o\\te \u001b[31m \u202e","workingDirectory":"/w/qu\"o\\te",)"
              R"("lastActivity":"2025-09-10T11:58:29.750Z",)"
              "\"lastUserMessage\":\"bad \xEF\xBF\xBD byte\\nand a line\","
              R"("turns":3,"state":"finished","contextWindow":200000,"reportedTokens":1000,)"
              R"("totalTokens":1000,)"
              R"("usefulPct":60,"scoreLabel":"~60%","segments":[{"id":"useful","label":"Useful",)"
              R"("tokens":600},{"id":"stale","label":"Stale reads","tokens":400}]},)"
              R"({"id":"claude:00000000-0000-4000-8000-000000000002","agent":"Claude",)"
              R"("nativeID":"00000000-0000-4000-8000-000000000002","project":"—",)"
              R"("workingDirectory":null,"lastActivity":"2025-09-09T23:00:00.000Z",)"
              R"("lastUserMessage":null,"turns":0,"state":"idle","contextWindow":null,)"
              R"("reportedTokens":null,)"
              R"("totalTokens":0,"usefulPct":null,"scoreLabel":"—","segments":[]}],)"
              R"("today":{"tokens":1000,"workedSeconds":90.25,"activeSessions":1},)"
              R"("rateLimits":{"claude":{"usedPercent":12.5,"windowMinutes":300,)"
              R"("resetsAt":"2025-09-10T16:00:00.000Z","windows":[]},)"
              R"("codex":{"usedPercent":140,"windowMinutes":10080,"resetsAt":null,"windows":[)"
              R"({"usedPercent":140,"windowMinutes":10080,"resetsAt":null,"source":"transcript",)"
              R"("asOf":null},{"usedPercent":3,"windowMinutes":300,)"
              R"("resetsAt":"2025-09-10T12:10:00.000Z","source":"cache",)"
              R"("asOf":"2025-09-10T09:00:00.000Z"}]}},)"
              R"("installed":{"claude":false,"codex":true,"wrenmem":true}})");
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    EXPECT_EQ(parser.parse(simdjson::padded_string(document)).get(root), simdjson::SUCCESS);

    // Windows known without the agent's one window: its three members stay, as nulls.
    MachineSnapshot onlyList;
    onlyList.quotas[Agent::claude] = {
        RateWindow{46, 300, std::nullopt, QuotaSource::cache, std::nullopt}};
    EXPECT_NE(JsonSnapshot::document(onlyList, instantFromUnix(kNoon), kUtc)
                  .find(R"("claude":{"usedPercent":null,"windowMinutes":null,"resetsAt":null,)"
                        R"("windows":[{"usedPercent":46,"windowMinutes":300,"resetsAt":null,)"
                        R"("source":"cache","asOf":null}]})"),
              std::string::npos);
}

// The document of a machine read from a fake home: what the readers found, in the shape a
// script reads.
TEST(JsonSnapshot, ReadFromAFakeHome) {
    TempDir dir;
    const fs::path home = dir / "home";
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const auto seconds = static_cast<std::int64_t>(now);
    const auto put = [&](const std::string& relative, const std::string& text, double ago) {
        testing::setModified(dir.write("home/" + relative, text), now - ago);
    };
    for (int i = 0; i < 22; ++i) {  // more than the island's 8, fewer than the document's 20
        put(".claude/projects/q/" + uuidOf(100 + i) + ".jsonl",
            claudeTranscript("/w/q" + std::to_string(i), seconds - 3600 - i), 3600);
    }
    put(".claude/projects/p/" + uuidOf(1) + ".jsonl",
        claudeTranscript("/w/tab\there", seconds - 120) +
            R"({"rateLimits":{"used_percent":7,"window_minutes":300,"resets_at":1757520000}})"
            "\n",
        100);
    put(".codex/sessions/2025/09/10/rollout-" + uuidOf(3) + ".jsonl",
        codexTranscript("S-\u202e3", "/w/site", seconds - 60) +
            R"({"payload":{"rate_limits":{"primary":{"used_percent":55.5,"window_minutes":10080}}}})"
            "\n",
        50);
    // The newest project directory is the one whose newest file has the limits.
    testing::setModified(home / ".claude/projects/q", now - 3600);
    testing::setModified(home / ".claude/projects/p", now - 100);
    MachineSnapshot::Sources sources{home / ".claude" / "projects",
                                     home / ".codex" / "sessions",
                                     {home / ".claude" / "projects"},
                                     {home / ".codex" / "sessions"},
                                     instantFromUnix(now),
                                     InstallPaths{home, dir / "root"},
                                     std::nullopt,
                                     JsonSnapshot::kSessionLimit};
    fs::create_directories(home / ".codex");
    const std::string text =
        JsonSnapshot::document(MachineSnapshot::read(sources), instantFromUnix(now), kUtc);

    simdjson::dom::parser parser;
    simdjson::dom::element root;
    ASSERT_EQ(parser.parse(simdjson::padded_string(text)).get(root), simdjson::SUCCESS) << text;
    const simdjson::dom::array sessions = root["sessions"];
    ASSERT_EQ(sessions.size(), 20u);
    const simdjson::dom::element codex = sessions.at(0);
    EXPECT_EQ(std::string_view(codex["id"]), "codex:S-\u202e3");
    EXPECT_NE(text.find(R"("codex:S-\u202e3")"), std::string::npos) << "escaped in the text";
    EXPECT_EQ(std::string_view(codex["agent"]), "Codex");
    EXPECT_EQ(std::string_view(codex["project"]), "site");
    EXPECT_EQ(std::string_view(codex["workingDirectory"]), "/w/site");
    EXPECT_EQ(std::string_view(codex["lastUserMessage"]), "add tests");
    EXPECT_EQ(std::int64_t(codex["contextWindow"]), 200000);
    EXPECT_EQ(std::int64_t(codex["reportedTokens"]), 48000);
    EXPECT_EQ(std::int64_t(codex["totalTokens"]), 48000);
    EXPECT_EQ(std::string_view(codex["lastActivity"]).size(), 24u);
    EXPECT_EQ(std::string_view(codex["lastActivity"]).back(), 'Z');

    const simdjson::dom::element claude = sessions.at(1);
    EXPECT_EQ(std::string_view(claude["project"]), "tab\there");
    EXPECT_TRUE(claude["contextWindow"].is_null());
    EXPECT_EQ(std::string_view(claude["lastUserMessage"]), "hello");
    EXPECT_GT(simdjson::dom::array(claude["segments"]).size(), 0u);

    const simdjson::dom::element limits = root["rateLimits"];
    EXPECT_EQ(double(limits["claude"]["usedPercent"]), 7);
    EXPECT_EQ(std::string_view(limits["claude"]["resetsAt"]), "2025-09-10T16:00:00.000Z");
    EXPECT_EQ(double(limits["codex"]["usedPercent"]), 55.5);
    EXPECT_EQ(std::int64_t(limits["codex"]["windowMinutes"]), 10080);
    EXPECT_TRUE(limits["codex"]["resetsAt"].is_null());

    EXPECT_TRUE(bool(root["installed"]["claude"])) << "~/.claude exists";
    EXPECT_TRUE(bool(root["installed"]["codex"])) << "~/.codex exists";
    EXPECT_FALSE(bool(root["installed"]["wrenmem"]));
    EXPECT_EQ(std::int64_t(root["today"]["activeSessions"]), 20);
}

TEST(JsonSnapshot, TheNoteSaysWhereItLooked) {
    EXPECT_EQ(JsonSnapshot::nothingFoundNote({"/h/.claude/projects"},
                                             {"/h/.codex/sessions", "/h/odd\x1b"}),
              "wrenisland: no session active in the last 24 hours under /h/.claude/projects, "
              "/h/.codex/sessions, /h/odd\\x1b\n");
    EXPECT_NE(JsonSnapshot::nothingFoundNote({}, {}).find("no home directory"), std::string::npos);
}

}  // namespace
}  // namespace wren
