#include "core/discovery/rate_limits.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "real_transcripts.h"
#include "core/transcripts/iso8601.h"
#include "temp_dir.h"

namespace wren {
namespace {

namespace fs = std::filesystem;
using testing::setModified;
using testing::TempDir;

constexpr double kNoon = 1733400000;  // 2024-12-05T12:00:00Z

std::string minified(std::optional<simdjson::dom::object> object) {
    return object ? simdjson::to_string(*object) : std::string("none");
}

std::string codexLine(std::string_view primary) {
    return std::string(
               R"({"type":"event_msg","payload":{"type":"token_count","rate_limits":{"primary":)") +
           std::string(primary) + R"(,"secondary":{"used_percent":1,"window_minutes":10080}}}})" +
           "\n";
}

constexpr std::string_view kFullPrimary =
    R"({"used_percent":42.5,"window_minutes":300,"resets_at":1733400000})";

TEST(RateLimitStore, ParseWindow) {
    struct Case {
        const char* json;
        std::optional<RateWindow> expected;
    };
    const auto at = [](double seconds) { return std::optional<Instant>(instantFromUnix(seconds)); };
    const Case cases[] = {
        {R"({"used_percent":42.5,"window_minutes":300,"resets_at":1733400000})",
         RateWindow{42.5, 300, at(kNoon)}},
        {R"({"used_percent":42.5,"window_minutes":300.0})", RateWindow{42.5, 300, std::nullopt}},
        {R"({"used_percent":42.5,"window_minutes":300.5})", std::nullopt},
        {R"({"used_percent":7,"window_minutes":60})", RateWindow{7.0, 60, std::nullopt}},
        {R"({"used_percent":150,"window_minutes":60})", RateWindow{150.0, 60, std::nullopt}},
        {R"({"used_percent":1,"window_minutes":60,"resets_at":"2024-12-05T12:00:00Z"})",
         RateWindow{1, 60, std::nullopt}},
        {R"({"used_percent":1,"window_minutes":60,"resets_at":1733400000.25})",
         RateWindow{1, 60, at(kNoon + 0.25)}},
        {R"({"used_percent":1,"window_minutes":60,"resets_at":null})",
         RateWindow{1, 60, std::nullopt}},
        {R"({"window_minutes":300})", std::nullopt},
        {R"({"used_percent":"42","window_minutes":300})", std::nullopt},
        {R"({"used_percent":true,"window_minutes":300})", std::nullopt},
        {R"({"used_percent":null,"window_minutes":300})", std::nullopt},
        {R"({"used_percent":42})", std::nullopt},
        {R"({"used_percent":42,"window_minutes":"300"})", std::nullopt},
        {R"({"used_percent":42,"window_minutes":9223372036854775808})", std::nullopt},
        {R"({"used_percent":42,"window_minutes":1e19})", std::nullopt},
        {R"({"used_percent":42,"window_minutes":-5})", RateWindow{42, -5, std::nullopt}},
        {R"({})", std::nullopt},
    };
    simdjson::dom::parser parser;
    for (const Case& c : cases) {
        simdjson::dom::object object;
        ASSERT_EQ(parser.parse(simdjson::padded_string(std::string_view(c.json))).get(object),
                  simdjson::SUCCESS)
            << c.json;
        EXPECT_EQ(RateLimitStore::parseWindow(object), c.expected) << c.json;
    }
}

TEST(RateLimitStore, SearchFindsFirstNonEmptyObjectUnderKey) {
    struct Case {
        const char* json;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"k":{"a":1}})", R"({"a":1})"},
        {R"({"x":{"y":[0,{"k":{"a":2}}]}})", R"({"a":2})"},
        {R"([1,[{"k":{"a":3}}]])", R"({"a":3})"},
        // An empty object under the key does not stop the search.
        {R"({"k":{},"z":{"k":{"a":4}}})", R"({"a":4})"},
        // The key's own non-object value is searched like any other member.
        {R"({"k":[{"k":{"a":5}}]})", R"({"a":5})"},
        {R"({"k":{"k":{"a":6}}})", R"({"k":{"a":6}})"},
        {R"({"text":"\"k\":{\"a\":1}"})", "none"},
        {R"({"k":"value"})", "none"},
        {R"({"k":[]})", "none"},
        {R"({"K":{"a":1}})", "none"},
        {R"("k")", "none"},
        {R"(17)", "none"},
    };
    simdjson::dom::parser parser;
    for (const Case& c : cases) {
        simdjson::dom::element root;
        ASSERT_EQ(parser.parse(simdjson::padded_string(std::string_view(c.json))).get(root),
                  simdjson::SUCCESS);
        EXPECT_EQ(minified(RateLimitStore::search(root, "k")), c.expected) << c.json;
    }
}

TEST(RateLimitStore, SearchStopsAtItsDepthLimit) {
    // A parser that accepts far deeper documents than the default must not let the search
    // recurse through all of them.
    constexpr std::size_t kDepth = 100000;
    std::string json;
    for (std::size_t i = 0; i < kDepth; ++i) json += "[";
    json += R"({"k":{"a":1}})";
    for (std::size_t i = 0; i < kDepth; ++i) json += "]";
    simdjson::dom::parser parser;
    ASSERT_EQ(parser.allocate(json.size(), kDepth + 8), simdjson::SUCCESS);
    simdjson::dom::element root;
    ASSERT_EQ(parser.parse(simdjson::padded_string(json)).get(root), simdjson::SUCCESS);
    EXPECT_EQ(minified(RateLimitStore::search(root, "k")), "none");
}

TEST(RateLimitStore, LastObjectTakesNewestLineThatYieldsAnObject) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "[";
    deep += R"({"rate_limits":{"primary":{"used_percent":9}}})";
    for (int i = 0; i < 100000; ++i) deep += "]";
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        const char* expected;
    };
    const Case cases[] = {
        {"newest wins",
         {R"({"rate_limits":{"n":1}})", R"({"rate_limits":{"n":2}})", R"({"other":1})"},
         R"({"n":2})"},
        {"key only in a text value",
         {R"({"rate_limits":{"n":1}})", R"({"msg":"see \"rate_limits\" in the docs"})"},
         R"({"n":1})"},
        {"invalid JSON line",
         {R"({"rate_limits":{"n":1}})", R"({"rate_limits":{"n":2})"},
         R"({"n":1})"},
        {"empty object in newest line is skipped",
         {R"({"rate_limits":{"n":1}})", R"({"rate_limits":{}})"},
         R"({"n":1})"},
        {"nested far too deep", {R"({"rate_limits":{"n":1}})", deep}, R"({"n":1})"},
        {"integer beyond 64 bits elsewhere in the line",
         {R"({"tokens":123456789012345678901234567890,"rate_limits":{"n":1}})"},
         R"({"n":1})"},
        {"top-level text", {R"("\"rate_limits\"")"}, "none"},
        {"no line mentions it", {R"({"limits":{"n":1}})"}, "none"},
        {"CRLF line ends", {"{\"rate_limits\":{\"n\":1}}\r"}, R"({"n":1})"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string text;
        for (const auto& line : c.lines) text += line + "\n";
        const auto file = dir.write("t.jsonl", text);
        json::LineParser parser;
        EXPECT_EQ(minified(RateLimitStore::lastObject("rate_limits", file, parser)), c.expected)
            << c.name;
    }
    json::LineParser parser;
    EXPECT_FALSE(RateLimitStore::lastObject("rate_limits", dir / "missing.jsonl", parser));
    EXPECT_FALSE(RateLimitStore::lastObject("rate_limits", dir.write("empty.jsonl", ""), parser));
}

TEST(RateLimitStore, LastObjectSeesOnlyTheFinal512KiB) {
    TempDir dir;
    const std::string record = R"({"rate_limits":{"n":1}})";
    const std::string filler = std::string(R"({"pad":")") + std::string(1000, 'x') + "\"}\n";
    // Too early: the record starts more than 512 KiB before the end.
    std::string text = record + "\n";
    while (text.size() < 524288 + 4096) text += filler;
    // Just inside: a cut filler line opens the window and is dropped, the record is whole.
    std::string inside;
    for (int i = 0; i < 100; ++i) inside += filler;
    inside += record + "\n";
    for (int i = 0; i < 500; ++i) inside += filler;
    json::LineParser parser;
    EXPECT_FALSE(RateLimitStore::lastObject("rate_limits", dir.write("big.jsonl", text), parser));
    EXPECT_TRUE(
        RateLimitStore::lastObject("rate_limits", dir.write("small.jsonl", inside), parser));
}

TEST(RateLimitStore, NewestChildByModificationTime) {
    TempDir dir;
    fs::create_directories(dir / "old");
    fs::create_directories(dir / "new");
    fs::create_directories(dir / ".hidden");
    dir.write("file-old", "x");
    dir.write("file-new", "x");
    dir.write(".hidden-file", "x");
    fs::create_directory_symlink(dir / "old", dir / "link-dir");
    setModified(dir / "old", 1000);
    setModified(dir / "new", 2000);
    setModified(dir / ".hidden", 9000);
    setModified(dir / "file-old", 1500);
    setModified(dir / "file-new", 2500);
    setModified(dir / ".hidden-file", 9000);
    setModified(dir / "link-dir", 1200);  // the link itself, not its target
    EXPECT_EQ(RateLimitStore::newestChild(dir.path(), true), dir / "new");
    EXPECT_EQ(RateLimitStore::newestChild(dir.path(), false), dir / "file-new");

    // A symlinked directory counts as "not a directory" and is never walked into.
    setModified(dir / "link-dir", 8000);
    EXPECT_EQ(RateLimitStore::newestChild(dir.path(), true), dir / "new");
    EXPECT_EQ(RateLimitStore::newestChild(dir.path(), false), dir / "link-dir");

    EXPECT_FALSE(RateLimitStore::newestChild(dir / "missing", true));
    EXPECT_FALSE(RateLimitStore::newestChild(dir / "file-new", false));
    EXPECT_FALSE(RateLimitStore::newestChild(dir / "old", true));
    EXPECT_FALSE(RateLimitStore::newestChild(dir / "old", false));
}

TEST(RateLimitStore, NewestChildTieGoesToFirstListed) {
    TempDir dir;
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) fs::create_directories(dir / name);
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) setModified(dir / name, 5000);
    // The listing order is the file system's; learn it the same way the lookup lists.
    const fs::path first = fs::directory_iterator(dir.path())->path();
    EXPECT_EQ(RateLimitStore::newestChild(dir.path(), true), first);
}

struct CodexTree {
    TempDir dir;
    fs::path sessions = dir / "sessions";
    fs::path day = sessions / "2025" / "01" / "02";

    fs::path write(const fs::path& file, std::string_view text, double modified) {
        const auto path = dir.write(fs::relative(file, dir.path()).string(), text);
        setModified(path, modified);
        return path;
    }
    void stampDirectories(double modified) {
        for (fs::path p = day; p != sessions; p = p.parent_path()) setModified(p, modified);
    }
};

TEST(RateLimitStore, CodexWindowReadsNewestFileOfNewestDay) {
    CodexTree t;
    t.write(t.day / "rollout-a.jsonl", codexLine(kFullPrimary), 100);
    t.write(t.day / "rollout-b.jsonl",
            codexLine(R"({"used_percent":3,"window_minutes":300.0,"resets_at":"soon"})"), 200);
    t.stampDirectories(300);
    EXPECT_EQ(RateLimitStore::codexWindow(t.sessions), (RateWindow{3, 300, std::nullopt}));

    // Directories are chosen by time, not by name: an older-named year that changed later wins.
    const auto other = t.sessions / "2024" / "12" / "31";
    t.write(other / "rollout-c.jsonl", codexLine(kFullPrimary), 100);
    for (fs::path p = other; p != t.sessions; p = p.parent_path()) setModified(p, 400);
    EXPECT_EQ(RateLimitStore::codexWindow(t.sessions),
              (RateWindow{42.5, 300, instantFromUnix(kNoon)}));
}

TEST(RateLimitStore, CodexWindowAbsentCases) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;  // name in the day, text
    };
    const Case cases[] = {
        // The newest line's empty primary shadows an older full record.
        {"empty primary in newest record",
         {{"r.jsonl", codexLine(kFullPrimary) + codexLine("{}")}}},
        {"primary not an object", {{"r.jsonl", codexLine("[1]")}}},
        {"no primary",
         {{"r.jsonl", R"({"rate_limits":{"secondary":{"used_percent":1,"window_minutes":5}}})"
                      "\n"}}},
        // Only the newest file counts, even when it is not a transcript.
        {"newest entry is not a transcript",
         {{"r.jsonl", codexLine(kFullPrimary)}, {"notes.txt", "rate_limits"}}},
        {"newest file has no record",
         {{"r.jsonl", codexLine(kFullPrimary)},
          {"s.jsonl", R"({"type":"x"})"
                      "\n"}}},
    };
    for (const Case& c : cases) {
        CodexTree t;
        double stamp = 100;
        for (const auto& [name, text] : c.files) t.write(t.day / name, text, stamp += 100);
        t.stampDirectories(1000);
        EXPECT_EQ(RateLimitStore::codexWindow(t.sessions), std::nullopt) << c.name;
    }
    CodexTree shallow;  // a file directly in a month directory is not a day
    shallow.write(shallow.sessions / "2025" / "01" / "r.jsonl", codexLine(kFullPrimary), 100);
    EXPECT_EQ(RateLimitStore::codexWindow(shallow.sessions), std::nullopt);
    EXPECT_EQ(RateLimitStore::codexWindow(shallow.dir / "nowhere"), std::nullopt);
}

TEST(RateLimitStore, CodexWindowFromRealTranscript) {
    const auto real = testing::realTranscripts();
    if (!real) GTEST_SKIP() << testing::kNoRealTranscripts;
    CodexTree t;
    std::ifstream in(*real / "codex/images.jsonl", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    t.write(t.day / "rollout-2025-01-02T10-00-00-0199a0b1-0000-7000-8000-000000000001.jsonl", text,
            100);
    t.stampDirectories(200);
    // The newest record holds both windows; each says when it was recorded.
    const auto asOf = instantFromUnix(1769908168.248);  // 2026-02-01T01:09:28.248Z
    const auto limits = RateLimitStore::codexLimits(t.sessions);
    EXPECT_EQ(limits.primary,
              (RateWindow{10.0, 300, instantFromUnix(1769922463), QuotaSource::transcript, asOf}));
    ASSERT_TRUE(limits.secondary);
    EXPECT_EQ(limits.secondary->windowMinutes, 10080);
    EXPECT_EQ(limits.secondary->asOf, asOf);
    EXPECT_EQ(RateLimitStore::codexWindow(t.sessions), limits.primary);
}

// Runs `body` on a thread and reports whether it finished within a few seconds; on a hang,
// `unblock` is called so the thread can still be joined.
template <class Body, class Unblock>
bool finishesPromptly(Body body, Unblock unblock) {
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
    unblock();
    done.wait();
    return false;
}

TEST(RateLimitStore, StrangeNewestEntriesYieldNothingWithoutBlocking) {
    {
        CodexTree t;
        t.write(t.day / "r.jsonl", codexLine(kFullPrimary), 100);
        const auto fifo = t.day / "x.jsonl";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        setModified(fifo, 200);
        t.stampDirectories(300);
        std::optional<RateWindow> window = RateWindow{};
        const bool prompt =
            finishesPromptly([&] { window = RateLimitStore::codexWindow(t.sessions); },
                             [&] { ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)); });
        EXPECT_TRUE(prompt) << "reading a FIFO blocked";
        EXPECT_EQ(window, std::nullopt);
    }
    {
        TempDir dir;
        const auto project = dir / "projects" / "-home-u-p";
        dir.write("projects/-home-u-p/a.jsonl",
                  R"({"rateLimits":{"used_percent":1,"window_minutes":5}})"
                  "\n");
        setModified(project / "a.jsonl", 100);
        fs::create_symlink("/dev/zero", project / "zero.jsonl");
        setModified(project / "zero.jsonl", 200);
        std::optional<RateWindow> window = RateWindow{};
        const bool prompt = finishesPromptly(
            [&] { window = RateLimitStore::claudeWindow(dir / "projects"); }, [] {});
        EXPECT_TRUE(prompt) << "reading /dev/zero did not stop";
        EXPECT_EQ(window, std::nullopt);
    }
}

TEST(RateLimitStore, ClaudeWindowUsesNewestProjectOnly) {
    TempDir dir;
    const auto projects = dir / "projects";
    const auto line = [](std::string_view used) {
        return std::string(R"({"type":"system","meta":{"rateLimits":{"used_percent":)") +
               std::string(used) + R"(,"window_minutes":300,"resets_at":1733400000}}})" + "\n";
    };
    dir.write("projects/p1/a.jsonl", line("10"));
    dir.write("projects/p1/b.jsonl", line("20"));
    setModified(projects / "p1" / "a.jsonl", 100);
    setModified(projects / "p1" / "b.jsonl", 200);
    setModified(projects / "p1", 300);
    EXPECT_EQ(RateLimitStore::claudeWindow(projects),
              (RateWindow{20, 300, instantFromUnix(kNoon)}));

    // A newer project without a record hides the older one's.
    dir.write("projects/p2/c.jsonl", R"({"type":"user"})"
                                     "\n");
    setModified(projects / "p2", 400);
    EXPECT_EQ(RateLimitStore::claudeWindow(projects), std::nullopt);

    // A project with no files gives nothing either.
    fs::create_directories(projects / "p3");
    setModified(projects / "p3", 500);
    EXPECT_EQ(RateLimitStore::claudeWindow(projects), std::nullopt);
    EXPECT_EQ(RateLimitStore::claudeWindow(dir / "nowhere"), std::nullopt);
}

// Real shapes of Codex's record: the plan decides which windows exist, their length says which
// is which, and a null record means no figures at all.
TEST(RateLimitStore, CodexBothWindowsByTheirRecord) {
    const auto at = [](double seconds) { return std::optional<Instant>(instantFromUnix(seconds)); };
    const std::string fiveHour =
        R"({"used_percent":5.0,"window_minutes":300,"resets_at":1733400000})";
    const std::string week =
        R"({"used_percent":20.0,"window_minutes":10080,"resets_at":1733900000})";
    const auto record = [](std::string limits) {
        return R"({"timestamp":"2024-12-05T11:00:00Z","type":"event_msg","payload":{"type":"token_count","rate_limits":)" +
               limits + "}}\n";
    };
    struct Case {
        const char* what;
        std::string text;
        std::optional<RateWindow> primary;
        std::optional<RateWindow> secondary;
    };
    const auto stamped = at(kNoon - 3600);
    const Case cases[] = {
        {"5 h and weekly",
         record(R"({"primary":)" + fiveHour + R"(,"secondary":)" + week +
                R"(,"credits":null,"plan_type":null})"),
         RateWindow{5, 300, at(kNoon), QuotaSource::transcript, stamped},
         RateWindow{20, 10080, at(1733900000), QuotaSource::transcript, stamped}},
        {"weekly only: primary is the weekly one",
         record(R"({"primary":)" + week + R"(,"secondary":null})"),
         RateWindow{20, 10080, at(1733900000), QuotaSource::transcript, stamped}, std::nullopt},
        {"null: an older record no longer holds",
         record(R"({"primary":)" + fiveHour + "}") + record("null"), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        CodexTree t;
        t.write(t.day / "r.jsonl", c.text, 100);
        t.stampDirectories(200);
        const auto limits = RateLimitStore::codexLimits(t.sessions);
        EXPECT_EQ(limits.primary, c.primary) << c.what;
        EXPECT_EQ(limits.secondary, c.secondary) << c.what;
    }
}

// A configuration of Claude Code as it writes it: the cache among other members.
std::string claudeConfig(std::string_view buckets, std::string_view before = "") {
    return R"({"numStartups":12,)" + std::string(before) +
           R"("cachedUsageUtilization":{"fetchedAtMs":1733389200000,"utilization":{)" +
           std::string(buckets) + R"(}},"projects":{"/w/p":{"allowedTools":[]}}})";
}
constexpr std::string_view kFiveHour =
    R"("five_hour":{"utilization":46,"resets_at":"2024-12-05T14:49:59.665316+00:00","extra":1})";
constexpr std::string_view kSevenDay =
    R"("seven_day":{"utilization":12.5,"resets_at":"2024-12-09T09:00:00+00:00"})";

std::vector<RateWindow> parsedCache(const std::string& text) {
    std::string padded = text;
    padded.append(simdjson::SIMDJSON_PADDING, '\0');
    return RateLimitStore::parseClaudeCache(std::string_view(padded.data(), text.size()));
}

TEST(RateLimitStore, ClaudeCacheReadAsClaudeCodeWritesIt) {
    const Instant fetched = instantFromUnix(1733389200);  // 09:00, three hours before noon
    const RateWindow five{46, 300, ISO8601::parseAny("2024-12-05T14:49:59.665316+00:00"),
                          QuotaSource::cache, fetched};
    ASSERT_TRUE(five.resetsAt);
    EXPECT_NEAR(unixSeconds(*five.resetsAt), kNoon + 2 * 3600 + 49 * 60 + 59.665316, 1e-5);
    const RateWindow seven{12.5, 10080, instantFromUnix(1733734800), QuotaSource::cache, fetched};
    struct Case {
        const char* what;
        std::string text;
        std::vector<RateWindow> expected;
    };
    const Case cases[] = {
        {"both windows",
         claudeConfig(std::string(kFiveHour) + "," + std::string(kSevenDay)),
         {five, seven}},
        {"no seven_day", claudeConfig(kFiveHour), {five}},
        {"unknown and null buckets are passed over",
         claudeConfig(R"("seven_day_opus":null,"extra_usage":{"utilization":99},)" +
                      std::string(kFiveHour) + R"(,"seven_day":null)"),
         {five}},
        {"a bucket without a number", claudeConfig(R"("five_hour":{"utilization":"46"})"), {}},
        {"a repeated bucket counts once",
         claudeConfig(std::string(kFiveHour) + R"(,"five_hour":{"utilization":1})"),
         {five}},
        {"the cache after a large history",
         claudeConfig(kFiveHour, R"("history":[)" + std::string(5000, ' ') + R"("x"],)"),
         {five}},
        {"no cache", R"({"numStartups":1,"projects":{}})", {}},
        {"not JSON", "projects = 1\n[cachedUsageUtilization]\n", {}},
        {"cut short", claudeConfig(kFiveHour).substr(0, 120), {}},
        // Found by fuzzing: a broken bucket once left the parser unusable, and the next read
        // of it crashed.
        {"a broken bucket",
         R"({"numStartups": 3, "cachedUsageUtilization": {"fetchtAdMse": 1796677068767, )"
         R"("utilization": {"five_hour": {"utilization": 23, "resets_aty": {"utilization": 63, )"
         R"("resets_at": "2026-12-10T23:57:48.0+{"utiliAzatsev:n_day_opus": null}0, "}0, )"
         R"("projects": {}})",
         {}},
        {"an array", "[1,2,3]", {}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(parsedCache(c.text), c.expected) << c.what;

    // Without fetchedAtMs the figures have no known age; a reset without a zone is no reset.
    const auto bare = parsedCache(
        R"({"cachedUsageUtilization":{"utilization":{"five_hour":{"utilization":3,"resets_at":"2024-12-05"}}}})");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].asOf, std::nullopt);
    EXPECT_EQ(bare[0].resetsAt, std::nullopt);
}

TEST(RateLimitStore, ClaudeCacheFilesAndTheirBounds) {
    using RateLimitStore::claudeConfigFiles;
    EXPECT_EQ(claudeConfigFiles("/cfg", "/home/u"), (std::vector<fs::path>{"/cfg/.claude.json"}));
    EXPECT_EQ(claudeConfigFiles(nullptr, "/home/u"),
              (std::vector<fs::path>{"/home/u/.claude.json", "/home/u/.claude/.claude.json"}));
    EXPECT_TRUE(claudeConfigFiles(nullptr, "").empty());

    TempDir dir;
    const auto missing = dir / "missing.json";
    const auto garbage = dir.write("garbage.json", "\xff\xfe not json at all");
    const auto noCache = dir.write("plain.json", R"({"projects":{}})");
    // 20 MB of project history before the cache, as a long-used configuration has.
    std::string big = R"({"projects":{)";
    for (int i = 0; big.size() < 20'000'000; ++i) {
        big += R"("/w/p)" + std::to_string(i) + R"(":{"history":[{"display":")" +
               std::string(900, 'h') + R"("}]},)";
    }
    big += R"("/w/last":{}},)" + claudeConfig(kFiveHour).substr(1);
    const auto large = dir.write("large.json", big);
    const auto before = fs::last_write_time(large);

    const auto windows =
        RateLimitStore::claudeCachedWindows({missing, garbage, noCache, dir.path(), large});
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].reportedPercent, 46);
    EXPECT_EQ(fs::file_size(large), big.size()) << "never written";
    EXPECT_EQ(fs::last_write_time(large), before);

    // Figures are taken again as soon as the file changes, even within one second and at the
    // same size.
    const auto stampAt = [](const fs::path& file, long nanos) {
        const timespec times[2] = {{static_cast<time_t>(kNoon), nanos},
                                   {static_cast<time_t>(kNoon), nanos}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    };
    const auto plain = dir.write("cache.json", claudeConfig(R"("five_hour":{"utilization":11})"));
    stampAt(plain, 0);
    EXPECT_EQ(RateLimitStore::claudeCachedWindows({plain}).at(0).reportedPercent, 11);
    dir.write("cache.json", claudeConfig(R"("five_hour":{"utilization":22})"));
    stampAt(plain, 1'000'000);
    EXPECT_EQ(RateLimitStore::claudeCachedWindows({plain}).at(0).reportedPercent, 22);

    // A FIFO named like the file is refused without blocking.
    const auto fifo = dir / "fifo.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(RateLimitStore::claudeCachedWindows({fifo}).empty());
}

TEST(RateLimitStore, CurrentAndBindingWindows) {
    const Instant now = instantFromUnix(kNoon);
    const auto window = [](double used, std::int64_t minutes, std::optional<double> resets) {
        return RateWindow{used, minutes,
                          resets ? std::optional(instantFromUnix(*resets)) : std::nullopt};
    };
    // A window whose reset has passed is unknown; one without a reset stays.
    EXPECT_EQ(
        RateLimitStore::currentWindows(
            {window(90, 300, kNoon - 1), window(10, 300, kNoon), window(20, 10080, kNoon + 1),
             window(30, 300, std::nullopt)},
            now),
        (std::vector<RateWindow>{window(20, 10080, kNoon + 1), window(30, 300, std::nullopt)}));
    struct Case {
        std::vector<RateWindow> windows;
        std::optional<RateWindow> expected;
    };
    const Case cases[] = {
        {{}, std::nullopt},
        {{window(46, 300, {}), window(12, 10080, {})}, window(46, 300, {})},
        {{window(46, 300, {}), window(80, 10080, {})}, window(80, 10080, {})},
        {{window(50, 300, {}), window(50, 10080, {})}, window(50, 10080, {})},  // tie: the longer
        {{window(std::nan(""), 300, {}), window(1, 10080, {})}, window(1, 10080, {})},
    };
    for (const Case& c : cases) EXPECT_EQ(RateLimitStore::bindingWindow(c.windows), c.expected);
}

}  // namespace
}  // namespace wren
