#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "temp_dir.h"
#include "transcript_files.h"
#include "core/transcripts/transcript_readers.h"

namespace wren {
namespace {

using testing::claudeName;
using testing::codexName;
using testing::jsonl;
using testing::TempDir;
using testing::unixOf;

using Reader = std::optional<SessionSummary> (*)(const std::filesystem::path&);

struct ReaderCase {
    const char* name;
    Reader read;
    std::string fileName;
    // One good session: the newest user message says "good", stamped 2025-09-10T08:10:00Z,
    // with 500 tokens in context, in the folder "proj".
    std::string good;
    // A record that would change all of that, with `bad` spliced into it.
    std::function<std::string(std::string_view bad)> tainted;
    // A record stamped `ts` that only carries a time.
    std::function<std::string(std::string_view ts)> stamped;
};

std::string str(std::string_view s) {
    return std::string(s);
}

const std::vector<ReaderCase>& agents() {
    static const std::vector<ReaderCase> all{
        {"claude", SessionDiscovery::readClaude, claudeName(),
         jsonl({
             R"({"type":"user","cwd":"/w/proj","timestamp":"2025-09-10T08:00:00Z",)"
             R"("message":{"content":"good"}})",
             R"({"type":"assistant","cwd":"/w/proj","timestamp":"2025-09-10T08:10:00Z",)"
             R"("message":{"usage":{"input_tokens":500}}})",
         }),
         [](std::string_view bad) {
             return R"({"type":"user","cwd":"/w/other","timestamp":"2025-09-10T09:00:00Z",)"
                    R"("message":{"content":"bad )" +
                    str(bad) + R"(","usage":{"input_tokens":9}}})";
         },
         [](std::string_view ts) {
             return R"({"type":"system","timestamp":")" + str(ts) + R"("})";
         }},
        {"codex", SessionDiscovery::readCodex, codexName(),
         jsonl({
             R"({"type":"session_meta","payload":{"id":"S-1","cwd":"/w/proj"}})",
             R"({"timestamp":"2025-09-10T08:00:00Z","payload":{"type":"message","role":"user",)"
             R"("content":[{"text":"good"}]}})",
             R"({"timestamp":"2025-09-10T08:10:00Z","payload":{"type":"token_count",)"
             R"("info":{"last_token_usage":{"input_tokens":500}}}})",
         }),
         [](std::string_view bad) {
             return R"({"timestamp":"2025-09-10T09:00:00Z","payload":{"type":"message",)"
                    R"("role":"user","content":[{"text":"bad )" +
                    str(bad) + R"("}],"info":{"last_token_usage":{"input_tokens":9}}}})";
         },
         [](std::string_view ts) { return R"({"timestamp":")" + str(ts) + R"(","payload":{}})"; }},
    };
    return all;
}

void expectGood(const std::optional<SessionSummary>& s, const std::string& context) {
    ASSERT_TRUE(s) << context;
    EXPECT_EQ(s->lastUserMessage, "good") << context;
    EXPECT_EQ(s->lastActivity, instantFromUnix(unixOf("2025-09-10T08:10:00Z"))) << context;
    EXPECT_EQ(s->reportedTokens, 500) << context;
    EXPECT_EQ(s->project, "proj") << context;
}

TEST(ReaderBadInput, SpecialFilesGiveNoSummaryAndNeverBlock) {
    for (const ReaderCase& agent : agents()) {
        TempDir dir;
        const auto fifo = dir / ("fifo-" + agent.fileName);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        EXPECT_FALSE(agent.read(fifo)) << agent.name << " FIFO";

        const auto socketPath = dir / ("s-" + agent.fileName);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(socketPath.native().size(), sizeof address.sun_path);
        std::strcpy(address.sun_path, socketPath.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_FALSE(agent.read(socketPath)) << agent.name << " socket";
        ::close(fd);

        const auto folder = dir / ("d-" + agent.fileName);
        std::filesystem::create_directory(folder);
        EXPECT_FALSE(agent.read(folder)) << agent.name << " directory";

        const auto zero = dir / ("z-" + agent.fileName);
        std::filesystem::create_symlink("/dev/zero", zero);
        EXPECT_FALSE(agent.read(zero)) << agent.name << " /dev/zero";

        const auto toFifo = dir / ("l-" + agent.fileName);
        std::filesystem::create_symlink(fifo, toFifo);
        EXPECT_FALSE(agent.read(toFifo)) << agent.name << " link to a FIFO";

        const auto dangling = dir / ("n-" + agent.fileName);
        std::filesystem::create_symlink(dir / "nowhere", dangling);
        EXPECT_FALSE(agent.read(dangling)) << agent.name << " dangling link";
        EXPECT_FALSE(agent.read(dir / ("missing-" + agent.fileName))) << agent.name;
    }
}

TEST(ReaderBadInput, HugeLinesAndWindowsWithoutLineFeed) {
    const std::string huge = "{\"type\":\"user\",\"pad\":\"" + std::string(20 << 20, 'u') + "\"}";
    for (const ReaderCase& agent : agents()) {
        TempDir dir;
        const auto path = dir / agent.fileName;
        const auto readBytes = [&](const std::string& bytes) {
            dir.write(agent.fileName, bytes);
            return agent.read(path);
        };
        const std::string name = agent.name;
        // The good records lie before the huge line for Codex's header too.
        const std::string header = agent.good.substr(0, agent.good.find('\n') + 1);
        expectGood(readBytes(header + huge + "\n" + agent.good), name + ": huge line before");
        // Behind a 20 MB line nothing stamped is within reach.
        EXPECT_FALSE(readBytes(agent.good + huge + "\n")) << name << ": huge line after";
        EXPECT_FALSE(readBytes(agent.good + huge)) << name << ": huge unterminated line after";
        // One line, no line feed: whole when the file fits the window, dropped when cut.
        const std::string last = agent.good.substr(agent.good.rfind('\n', agent.good.size() - 2));
        std::string one = agent.good;
        one.pop_back();
        const auto whole = readBytes(one);
        ASSERT_TRUE(whole) << name << ": unterminated last line";
        EXPECT_EQ(whole->reportedTokens, 500) << name;
        EXPECT_FALSE(readBytes(std::string(600 * 1024, ' ') + last.substr(1)))
            << name << ": one line longer than the window";
    }
}

TEST(ReaderBadInput, ABadLineCostsOnlyThatLine) {
    struct Case {
        const char* what;
        std::string bad;  // spliced into the text of a newer record
    };
    const Case cases[] = {
        {"invalid UTF-8", "\xff\xfe"},          {"a lone continuation byte", "\x80"},
        {"an overlong encoding", "\xc0\xaf"},   {"a truncated sequence", "\xe2\x82"},
        {"a NUL byte", std::string("a\0b", 3)}, {"a raw control character", "\x01"},
        {"a raw carriage return", "\r"},        {"an unterminated string", "\\"},
        {"a broken escape", "\\u12"},
    };
    for (const ReaderCase& agent : agents()) {
        for (const Case& c : cases) {
            TempDir dir;
            std::string bytes = agent.good;
            bytes.insert(bytes.find('\n') + 1, agent.tainted(c.bad) + "\n");
            bytes += agent.tainted(c.bad) + "\n";
            expectGood(agent.read(dir.write(agent.fileName, bytes)),
                       std::string(agent.name) + ": " + c.what);
        }
        // The same records, clean, do count: the splice really is what the reader skipped.
        TempDir dir;
        const auto clean =
            agent.read(dir.write(agent.fileName, agent.good + agent.tainted("ok") + "\n"));
        ASSERT_TRUE(clean) << agent.name;
        EXPECT_EQ(clean->lastUserMessage, "bad ok") << agent.name;
    }
}

TEST(ReaderBadInput, CarriageReturnLineEndsReadNormally) {
    for (const ReaderCase& agent : agents()) {
        std::string crlf;
        for (char c : agent.good) {
            if (c == '\n') crlf.push_back('\r');
            crlf.push_back(c);
        }
        TempDir dir;
        expectGood(agent.read(dir.write(agent.fileName, crlf)), agent.name);
        expectGood(agent.read(dir.write(agent.fileName, crlf + "\r\n\r\n")), agent.name);
    }
}

std::string nested(std::size_t depth, std::string_view inner) {
    std::string s;
    for (std::size_t i = 0; i < depth; ++i) s += "{\"a\":";
    s += inner;
    s.append(depth, '}');
    return s;
}

TEST(ReaderBadInput, DeepNestingIsSkippedOrBounded) {
    for (const ReaderCase& agent : agents()) {
        const std::string deepObject = "{\"type\":\"user\",\"x\":" + nested(100000, "1") + "}";
        const std::string deepArray = std::string(100000, '[') + std::string(100000, ']');
        TempDir dir;
        std::string bytes = agent.good;
        bytes.insert(bytes.find('\n') + 1, deepObject + "\n" + deepArray + "\n");
        // The array alone is small enough to leave the good records in the recent window.
        expectGood(agent.read(dir.write(agent.fileName, bytes + deepArray)), agent.name);
    }

    // Deep but within what the parser accepts: the search for the context window reaches it.
    const std::string deepWindow = nested(1000, R"({"model_context_window":64000})");
    TempDir dir;
    const auto s = SessionDiscovery::readCodex(dir.write(
        codexName(), agents()[1].good + R"({"payload":{"type":"x","deep":)" + deepWindow + "}}\n"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->contextWindow, 64000);

    simdjson::dom::parser parser;
    for (const std::size_t depth : {10, 500, 1000}) {
        const std::string found = nested(depth, R"({"k":5})");
        const std::string absent = nested(depth, R"({"j":5})");
        simdjson::dom::element root;
        ASSERT_EQ(parser.parse(found).get(root), simdjson::SUCCESS) << depth;
        EXPECT_EQ(SessionDiscovery::findInt("k", root), 5) << depth;
        ASSERT_EQ(parser.parse(absent).get(root), simdjson::SUCCESS) << depth;
        EXPECT_EQ(SessionDiscovery::findInt("k", root), std::nullopt) << depth;
    }
}

TEST(ReaderBadInput, IntegersBeyondSixtyFourBitsAreAbsentNotWrapped) {
    const char* const huge[] = {
        "18446744073709551616",  // 2^64: wraps to 0
        "18446744073709552116",  // 2^64 + 500: wraps to 500
        "18446744073709551615",  // fits unsigned 64 bits only
        "9223372036854775808",   // 2^63
        "-9223372036854775809",  // below the signed range
        "99999999999999999999999999999999999999",
    };
    for (const char* value : huge) {
        TempDir dir;
        // The record with the huge value is still read: its time and message count.
        const auto claude = SessionDiscovery::readClaude(dir.write(
            claudeName(),
            jsonl({
                R"({"type":"assistant","cwd":"/w/proj","timestamp":"2025-09-10T08:00:00Z",)"
                R"("message":{"usage":{"input_tokens":7}}})",
                R"({"type":"user","cwd":"/w/proj","timestamp":"2025-09-10T08:10:00Z",)"
                R"("size":)" +
                    std::string(value) + R"(,"message":{"content":"big","usage":{"input_tokens":)" +
                    value + R"(,"cache_read_input_tokens":3}}})",
            })));
        ASSERT_TRUE(claude) << value;
        EXPECT_EQ(claude->reportedTokens, 3) << value;
        EXPECT_EQ(claude->lastUserMessage, "big") << value;
        EXPECT_EQ(claude->lastActivity, instantFromUnix(unixOf("2025-09-10T08:10:00Z"))) << value;

        const auto codex = SessionDiscovery::readCodex(
            dir.write(codexName(),
                      jsonl({
                          R"({"timestamp":"2025-09-10T08:00:00Z","payload":{"type":"token_count",)"
                          R"("info":{"last_token_usage":{"input_tokens":7}}}})",
                          R"({"timestamp":"2025-09-10T08:05:00Z","payload":{"type":"message",)"
                          R"("role":"user","content":[{"text":"big"}]}})",
                          R"({"timestamp":"2025-09-10T08:10:00Z","payload":{"type":"token_count",)"
                          R"("info":{"last_token_usage":{"input_tokens":)" +
                              std::string(value) + R"(},"model_context_window":)" + value + "}}}",
                      })));
        ASSERT_TRUE(codex) << value;
        EXPECT_EQ(codex->reportedTokens, 7) << value;
        EXPECT_EQ(codex->contextWindow, std::nullopt) << value;
        EXPECT_EQ(codex->lastActivity, instantFromUnix(unixOf("2025-09-10T08:10:00Z"))) << value;
    }

    // Numbers the parser cannot hold at all still cost only their line; strings that look
    // like huge numbers are left alone.
    TempDir dir;
    const auto s = SessionDiscovery::readClaude(dir.write(
        claudeName(),
        agents()[0].good + jsonl({R"({"type":"user","timestamp":"2025-09-10T09:00:00Z","n":1e999})",
                                  R"({"type":"user","timestamp":"2025-09-10T09:00:00Z","n":0123})",
                                  R"({"type":"user","timestamp":"2025-09-10T09:00:00Z","n":-})"})));
    expectGood(s, "unparsable numbers");
    const auto text = SessionDiscovery::readClaude(dir.write(
        claudeName(),
        jsonl({R"({"type":"user","timestamp":"2025-09-10T09:00:00Z","n":1e999,)"
               R"("message":{"content":"99999999999999999999 \"18446744073709551616\""}})",
               R"({"type":"user","timestamp":"2025-09-10T09:00:00Z","n":184467440737095516160,)"
               R"("message":{"content":"99999999999999999999 \"1844674407370955161\""}})"})));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->lastUserMessage, "99999999999999999999 \"1844674407370955161\"");
}

TEST(ReaderBadInput, TokenSumsThatWouldOverflowAreAbsent) {
    struct Case {
        const char* usage;
        std::optional<std::int64_t> tokens;  // an older record reports 7
    };
    const Case cases[] = {
        {R"("input_tokens":9223372036854775807)", INT64_MAX},
        {R"("input_tokens":9223372036854775807,"cache_read_input_tokens":1)", 7},
        {R"("input_tokens":9223372036854775807,"cache_read_input_tokens":9223372036854775807,)"
         R"("cache_creation_input_tokens":9223372036854775807)",
         7},
        {R"("input_tokens":4611686018427387904,"cache_read_input_tokens":4611686018427387903)",
         INT64_MAX},
        {R"("input_tokens":-9223372036854775808,"cache_read_input_tokens":-1)", 7},
        {R"("input_tokens":9.3e18)", 7},
        {R"("input_tokens":9.2e18)", 9200000000000000000},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const auto s = SessionDiscovery::readClaude(dir.write(
            claudeName(),
            jsonl({
                R"({"type":"assistant","timestamp":"2025-09-10T08:00:00Z",)"
                R"("message":{"usage":{"input_tokens":7}}})",
                R"({"type":"user","timestamp":"2025-09-10T08:01:00Z","message":{"content":"hi"}})",
                std::string(R"({"type":"assistant","timestamp":"2025-09-10T08:02:00Z",)") +
                    R"("message":{"usage":{)" + c.usage + "}}}",
            })));
        ASSERT_TRUE(s) << c.usage;
        EXPECT_EQ(s->reportedTokens, c.tokens) << c.usage;
        if (s->reportedTokens) {
            EXPECT_EQ(s->totalTokens(), *c.tokens) << c.usage;
        }
    }
}

TEST(ReaderBadInput, OddTimeStampsOfTheNewestRecord) {
    struct Case {
        const char* stamp;
        double expected;
    };
    const Case cases[] = {
        // 40 bytes, 19 fraction digits: the fast path.
        {"2025-09-10T08:15:30.1234567890123456789Z", 1757492130.1234567890},
        // 41 bytes, 20 digits: too long for the fast path, not for the fallback.
        {"2025-09-10T08:15:30.12345678901234567890Z", 1757492130.1234567890},
        {"2024-02-29T23:59:60Z", unixOf("2024-03-01T00:00:00Z")},
        {"2025-02-31T12:00:00Z", unixOf("2025-03-03T12:00:00Z")},
        // 40 bytes still take the fast path, which rolls February 31 over as well.
        {"2025-02-31T08:15:30.1234567890123456789Z", unixOf("2025-03-03T08:15:30Z") + 0.123456789},
        {"2024-02-31T12:00:00Z", unixOf("2024-03-02T12:00:00Z")},
        {"2025-09-10T08:15:30.Z", unixOf("2025-09-10T08:15:30Z")},
    };
    for (const ReaderCase& agent : agents()) {
        for (const Case& c : cases) {
            TempDir dir;
            const auto s =
                agent.read(dir.write(agent.fileName, agent.good + jsonl({agent.stamped(c.stamp)})));
            ASSERT_TRUE(s) << agent.name << " " << c.stamp;
            EXPECT_NEAR(unixSeconds(s->lastActivity), c.expected, 1e-6)
                << agent.name << " " << c.stamp;
        }
    }
}

}  // namespace
}  // namespace wren
