#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

namespace wren::testing {

/// Small but complete transcripts of both agents, as the readers expect them, for tests that
/// need sessions to come out of files.

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

}  // namespace wren::testing
