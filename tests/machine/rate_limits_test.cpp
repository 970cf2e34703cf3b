#include "machine/rate_limits.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "real_transcripts.h"
#include "transcripts/temp_dir.h"

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
    EXPECT_EQ(RateLimitStore::codexWindow(t.sessions),
              (RateWindow{10.0, 300, instantFromUnix(1769922463)}));
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

}  // namespace
}  // namespace wren
