#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/transcripts/session_summary.h"

namespace wren::testing {

/// Transcripts of both agents written by the tests: whole small sessions as the readers expect
/// them, and the pieces the reader tests build files from byte by byte.

// ---- Whole sessions, for tests that need sessions to come out of files ----

/// "YYYY-MM-DDTHH:MM:SSZ" of whole Unix seconds.
inline std::string isoStamp(std::int64_t unixSeconds) {
    const std::time_t time = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

/// `text` as a JSON string literal, every control character escaped.
inline std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out.append(escape);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

/// A Claude session (the file name carries its id): a user message, then a model call with
/// `tokens` in context, stamped `lastActivity`.
inline std::string claudeTranscript(std::string_view cwd, std::int64_t lastActivity,
                                    std::int64_t tokens = 20510) {
    const std::string where = jsonString(cwd);
    return R"({"type":"user","cwd":)" + where + R"(,"timestamp":")" + isoStamp(lastActivity - 60) +
           R"(","message":{"role":"user","content":"hello"}})"
           "\n"
           R"({"type":"assistant","cwd":)" +
           where + R"(,"timestamp":")" + isoStamp(lastActivity) +
           R"(","message":{"role":"assistant","usage":{"input_tokens":)" + std::to_string(tokens) +
           "}}}\n";
}

/// A Codex session: the header naming `id` and `cwd`, a user message, then a token count of
/// `tokens` in a window of `window`, stamped `lastActivity`.
inline std::string codexTranscript(std::string_view id, std::string_view cwd,
                                   std::int64_t lastActivity, std::int64_t tokens = 48000,
                                   std::int64_t window = 200000) {
    return R"({"type":"session_meta","timestamp":")" + isoStamp(lastActivity - 600) +
           R"(","payload":{"id":)" + jsonString(id) + R"(,"cwd":)" + jsonString(cwd) +
           "}}\n"
           R"({"type":"response_item","timestamp":")" +
           isoStamp(lastActivity - 60) +
           R"(","payload":{"type":"message","role":"user","content":[{"type":"input_text","text":"add tests"}]}})"
           "\n"
           R"({"type":"event_msg","timestamp":")" +
           isoStamp(lastActivity) +
           R"(","payload":{"type":"token_count","info":{"last_token_usage":{"input_tokens":)" +
           std::to_string(tokens) + R"(},"model_context_window":)" + std::to_string(window) +
           "}}}\n";
}

/// A UUID-shaped id whose last group is `n` in hexadecimal, so ids sort like their numbers.
inline std::string uuidOf(unsigned n) {
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012x", n);
    return text;
}

// ---- Pieces for the reader tests: names that carry a session UUID, lines joined into files,
// filler that brings a file to an exact size, a time-stamp conversion that does not go through
// the parser under test ----

inline constexpr std::string_view kUuid = "0a1b2c3d-0000-4000-8000-00000000abcd";

inline std::string claudeName(std::string_view uuid = kUuid) {
    return std::string(uuid) + ".jsonl";
}
inline std::string codexName(std::string_view uuid = kUuid) {
    return "rollout-2026-01-25T10-32-00-" + std::string(uuid) + ".jsonl";
}

/// Each line followed by a line feed.
inline std::string jsonl(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (std::string_view line : lines) {
        out.append(line);
        out.push_back('\n');
    }
    return out;
}

/// A record that neither reader takes anything from (no user or message marker, no payload,
/// no time stamp), `padding` bytes longer than the shortest one.
inline std::string filler(std::size_t padding) {
    return R"({"type":"filler","pad":")" + std::string(padding, 'x') + "\"}";
}

/// Appends filler lines until `bytes` is exactly `size` bytes long.
inline void padTo(std::string& bytes, std::size_t size) {
    constexpr std::size_t kChunk = 64 * 1024;
    const std::size_t shortest = filler(0).size() + 1;
    ASSERT_GE(size, bytes.size());
    while (size - bytes.size() >= 2 * kChunk) bytes += filler(kChunk - shortest) + "\n";
    std::size_t rest = size - bytes.size();
    if (rest == 0) return;
    if (rest > kChunk) {
        bytes += filler(kChunk - shortest) + "\n";
        rest -= kChunk;
    }
    ASSERT_GE(rest, shortest) << "no filler line is that short";
    bytes += filler(rest - shortest) + "\n";
}

/// Seconds since 1970 of "YYYY-MM-DDTHH:MM:SS[.fff]Z", by the C library rather than the parser
/// under test.
inline double unixOf(const char* iso) {
    std::tm tm{};
    int year = 0, month = 0;
    double seconds = 0;
    EXPECT_EQ(std::sscanf(iso, "%4d-%2d-%2dT%2d:%2d:%lfZ", &year, &month, &tm.tm_mday, &tm.tm_hour,
                          &tm.tm_min, &seconds),
              6)
        << iso;
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_sec = static_cast<int>(seconds);
    return static_cast<double>(::timegm(&tm)) + (seconds - tm.tm_sec);
}

/// Every field of two summaries, with `context` in each failure message.
inline void expectSameSummary(const SessionSummary& got, const SessionSummary& want,
                              const std::string& context) {
    EXPECT_EQ(got.id, want.id) << context;
    EXPECT_EQ(got.nativeID, want.nativeID) << context;
    EXPECT_EQ(got.agent, want.agent) << context;
    EXPECT_EQ(got.project, want.project) << context;
    EXPECT_EQ(got.workingDirectory, want.workingDirectory) << context;
    EXPECT_EQ(got.lastActivity, want.lastActivity) << context;
    EXPECT_EQ(got.lastUserMessage, want.lastUserMessage) << context;
    EXPECT_EQ(got.turns, want.turns) << context;
    EXPECT_EQ(got.contextWindow, want.contextWindow) << context;
    EXPECT_EQ(got.reportedTokens, want.reportedTokens) << context;
    EXPECT_EQ(got.isMeasured, want.isMeasured) << context;
    ASSERT_EQ(got.segments.size(), want.segments.size()) << context;
    for (std::size_t i = 0; i < got.segments.size(); ++i) {
        EXPECT_EQ(got.segments[i].id, want.segments[i].id) << context;
        EXPECT_EQ(got.segments[i].tokens, want.segments[i].tokens) << context;
    }
}

}  // namespace wren::testing
