#include "fake_transcripts.h"

#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "core/transcripts/iso8601.h"

namespace wren::bench {
namespace {

// splitmix64: tiny, fast and the same sequence on every machine.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    std::uint64_t between(std::uint64_t lo, std::uint64_t hi) { return lo + below(hi - lo + 1); }
    bool oneIn(std::uint64_t n) { return below(n) == 0; }

  private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 48> kWords{
    "the",     "build",   "fails",    "when",     "session",  "window",  "reader",  "tail",
    "parser",  "returns", "nothing",  "for",      "a",        "line",    "that",    "is",
    "longer",  "than",    "budget",   "so",       "we",       "should",  "check",   "test",
    "island",  "expands", "after",    "pointer",  "rests",    "on",      "notch",   "panel",
    "context", "tokens",  "estimate", "useful",   "stale",    "repeats", "fix",     "refactor",
    "cache",   "module",  "function", "argument", "snapshot", "quota",   "request", "thread",
};

void appendNumber(std::string& out, std::uint64_t value) {
    out += std::to_string(value);
}

// Prose needs no JSON escaping; its line breaks are written as "\n" escapes.
void appendProse(std::string& out, Rng& rng, std::size_t bytes) {
    const std::size_t end = out.size() + bytes;
    int wordsOnLine = 0;
    while (out.size() < end) {
        if (wordsOnLine > 0) out += ' ';
        out += kWords[rng.below(kWords.size())];
        if (++wordsOnLine >= 12 && rng.oneIn(4)) {
            out += "\\n";
            wordsOnLine = 0;
        }
    }
}

// Command output as a JSON string body: code, listings and compiler messages, with the escaped
// quotes, tabs and line breaks that real output is full of.
void appendOutput(std::string& out, Rng& rng, std::size_t bytes) {
    const std::size_t end = out.size() + bytes;
    while (out.size() < end) {
        const auto word = kWords[rng.below(kWords.size())];
        switch (rng.below(4)) {
            case 0:
                out += "    const auto value = compute(\\\"";
                out += word;
                out += "\\\", ";
                appendNumber(out, rng.below(100000));
                out += ");\\n";
                break;
            case 1:
                out += "-rw-r--r-- 1 dev dev ";
                appendNumber(out, rng.between(100, 999999));
                out += " Sep 10 08:15 ";
                out += word;
                out += ".cpp\\n";
                break;
            case 2:
                out += "\\t";
                appendProse(out, rng, 60);
                out += "\\n";
                break;
            default:
                out += "src/";
                out += word;
                out += '/';
                out += kWords[rng.below(kWords.size())];
                out += ".cpp:";
                appendNumber(out, rng.between(1, 2000));
                out += ": warning: unused variable '";
                out += word;
                out += "'\\n";
                break;
        }
    }
}

void appendBase64(std::string& out, Rng& rng, std::size_t bytes) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < bytes; ++i) out += kAlphabet[rng.below(kAlphabet.size())];
}

void appendHex(std::string& out, Rng& rng, std::size_t digits) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    for (std::size_t i = 0; i < digits; ++i) out += kHex[rng.below(16)];
}

constexpr std::size_t kFinalTurnBytes = 32 * 1024;
constexpr std::size_t kEarlyTurnsBytes = 48 * 1024;
constexpr std::int64_t kCompactedContext = 20000;
constexpr std::int64_t kContextCeiling = 180000;

// The state both agents' writers share: output, randomness, clock and the context size.
// Turns of prompts, tool steps and answers up to the planned size; the agents differ only in how
// each record is written.
class Writer {
  public:
    virtual ~Writer() = default;

    std::string build() {
        header();
        if (plan_.lastPrompt == LastPrompt::early) {
            while (out_.size() < kEarlyTurnsBytes) turn(3, false);
            prompt();
            while (out_.size() < plan_.bytes) toolStep(true);
            answer();
        } else {
            while (roomBeforeFinalTurn()) turn(rng_.between(2, 14), true);
            prompt();
            toolStep(false);
            toolStep(false);
            answer();
        }
        return std::move(out_);
    }

  protected:
    virtual void header() {}
    virtual void prompt() = 0;
    virtual void toolStep(bool allowBig) = 0;
    virtual void answer() = 0;

    void turn(std::uint64_t steps, bool allowBig) {
        prompt();
        for (std::uint64_t i = 0; i < steps && roomBeforeFinalTurn(); ++i) toolStep(allowBig);
        answer();
    }

    explicit Writer(const FakeTranscript& plan)
        : plan_(plan), rng_(plan.seed), clock_(plan.startUnix) {
        out_.reserve(static_cast<std::size_t>(plan.bytes) + 1024 * 1024);
    }

    std::string stamp() {
        clock_ += static_cast<double>(rng_.between(300, 20000)) / 1000.0;
        return isoTimestamp(clock_);
    }

    // The context grows with every model call until the agent compacts it.
    std::int64_t growContext() {
        context_ += static_cast<std::int64_t>(rng_.between(300, 4000));
        if (context_ > kContextCeiling) context_ = kCompactedContext;
        return context_;
    }

    // Tool output: usually a few KB, now and then hundreds of KB (a file dump, a build log),
    // but never so large that the file would overshoot its size by much.
    std::size_t outputSize(bool allowBig, std::size_t copies) {
        if (allowBig && rng_.oneIn(40)) {
            const std::size_t big = rng_.between(128, 448) * 1024;
            if (out_.size() + copies * big + kFinalTurnBytes < plan_.bytes) return big;
        }
        return rng_.between(200, 6000);
    }

    bool roomBeforeFinalTurn() const { return out_.size() + kFinalTurnBytes < plan_.bytes; }

    const FakeTranscript& plan_;
    Rng rng_;
    double clock_;
    std::int64_t context_ = 12000;
    std::string out_;
};

class ClaudeWriter final : public Writer {
  public:
    explicit ClaudeWriter(const FakeTranscript& plan) : Writer(plan) {}

  private:
    void begin() {
        out_ += R"({"parentUuid":")";
        out_ += parent_;
        out_ += R"(","isSidechain":false,"userType":"external","cwd":")";
        out_ += plan_.cwd;
        out_ += R"(","sessionId":")";
        out_ += plan_.nativeID;
        out_ += R"(","version":"2.0.14","gitBranch":"main",)";
    }

    void end() {
        parent_ = fakeUuid(rng_.next());
        out_ += R"(,"uuid":")";
        out_ += parent_;
        out_ += R"(","timestamp":")";
        out_ += stamp();
        out_ += "\"}\n";
    }

    void prompt() override {
        begin();
        out_ += R"("type":"user","message":{"role":"user","content":")";
        if (rng_.oneIn(3)) {
            out_ += "<system-reminder>\\n";
            appendProse(out_, rng_, rng_.between(200, 1500));
            out_ += "\\n</system-reminder>\\n";
        }
        appendProse(out_, rng_, rng_.between(20, 600));
        out_ += R"("})";
        end();
    }

    void usage() {
        out_ += R"("usage":{"input_tokens":)";
        appendNumber(out_, rng_.between(1, 12));
        const auto creation = rng_.between(100, 3000);
        out_ += R"(,"cache_creation_input_tokens":)";
        appendNumber(out_, creation);
        out_ += R"(,"cache_read_input_tokens":)";
        appendNumber(out_, static_cast<std::uint64_t>(growContext()));
        out_ += R"(,"cache_creation":{"ephemeral_5m_input_tokens":)";
        appendNumber(out_, creation);
        out_ += R"(,"ephemeral_1h_input_tokens":0},"output_tokens":)";
        appendNumber(out_, rng_.between(6, 900));
        out_ += R"(,"service_tier":"standard"}})";
    }

    void assistantBegin() {
        begin();
        out_ += R"("message":{"model":"claude-sonnet-4-5-20250929","id":"msg_)";
        appendBase64(out_, rng_, 24);
        out_ += R"(","type":"message","role":"assistant","content":[)";
    }

    void assistantEnd() {
        out_ += R"(],"stop_reason":null,"stop_sequence":null,)";
        usage();
        out_ += R"(,"requestId":"req_)";
        appendBase64(out_, rng_, 24);
        out_ += R"(","type":"assistant")";
        end();
    }

    void toolStep(bool allowBig) override {
        std::string toolId = "toolu_";
        appendBase64(toolId, rng_, 24);

        assistantBegin();
        if (rng_.oneIn(3)) {
            out_ += R"({"type":"thinking","thinking":")";
            appendProse(out_, rng_, rng_.between(200, 2000));
            out_ += R"(","signature":")";
            appendBase64(out_, rng_, rng_.between(400, 2400));
            out_ += R"("},)";
        }
        out_ += R"({"type":"text","text":")";
        appendProse(out_, rng_, rng_.between(40, 400));
        out_ += R"("},{"type":"tool_use","id":")";
        out_ += toolId;
        out_ += R"(","name":"Bash","input":{"command":"make -C build )";
        out_ += kWords[rng_.below(kWords.size())];
        out_ += R"(","description":")";
        appendProse(out_, rng_, 40);
        out_ += R"("}})";
        assistantEnd();

        // The tool's output appears twice, as the agent itself stores it.
        std::string output;
        appendOutput(output, rng_, outputSize(allowBig, 2));
        begin();
        out_ += R"("type":"user","message":{"role":"user","content":[{"tool_use_id":")";
        out_ += toolId;
        out_ += R"(","type":"tool_result","content":")";
        out_ += output;
        out_ += R"(","is_error":false}]},"toolUseResult":{"stdout":")";
        out_ += output;
        out_ += R"(","stderr":"","interrupted":false,"isImage":false})";
        end();
    }

    void answer() override {
        assistantBegin();
        out_ += R"({"type":"text","text":")";
        appendProse(out_, rng_, rng_.between(100, 1500));
        out_ += R"("})";
        assistantEnd();
    }

    std::string parent_ = "00000000-0000-4000-8000-000000000000";
};

class CodexWriter final : public Writer {
  public:
    explicit CodexWriter(const FakeTranscript& plan) : Writer(plan) {}

  private:
    void begin(std::string_view type) {
        out_ += R"({"timestamp":")";
        out_ += stamp();
        out_ += R"(","type":")";
        out_ += type;
        out_ += R"(","payload":{)";
    }

    void end() { out_ += "}}\n"; }

    void message(std::string_view role, std::string_view contentType, std::string_view text) {
        begin("response_item");
        out_ += R"("type":"message","role":")";
        out_ += role;
        out_ += R"(","content":[{"type":")";
        out_ += contentType;
        out_ += R"(","text":")";
        out_ += text;
        out_ += R"("}])";
        end();
    }

    void header() override {
        begin("session_meta");
        out_ += R"("id":")";
        out_ += plan_.nativeID;
        out_ += R"(","timestamp":")";
        out_ += isoTimestamp(clock_);
        out_ += R"(","cwd":")";
        out_ += plan_.cwd;
        out_ += R"(","originator":"codex_cli_rs","cli_version":"0.89.0","source":"cli",)"
                R"("model_provider":"openai","base_instructions":{"text":")";
        appendProse(out_, rng_, 14000);
        out_ += R"("},"git":{"commit_hash":")";
        appendHex(out_, rng_, 40);
        out_ += R"(","branch":"main","repository_url":"git@example.com:dev/wren-island.git"})";
        end();

        std::string text = "<permissions instructions>";
        appendProse(text, rng_, 5000);
        text += "</permissions instructions>";
        message("developer", "input_text", text);
        message("user", "input_text",
                "<environment_context>\\n  <cwd>" + plan_.cwd +
                    "</cwd>\\n  <shell>bash</shell>\\n</environment_context>");
    }

    void prompt() override {
        std::string text;
        appendProse(text, rng_, rng_.between(20, 600));
        message("user", "input_text", text);
        begin("event_msg");
        out_ += R"("type":"user_message","message":")";
        out_ += text;
        out_ += R"(","images":[],"local_images":[],"text_elements":[])";
        end();
        begin("turn_context");
        out_ += R"("cwd":")";
        out_ += plan_.cwd;
        out_ += R"(","approval_policy":"on-request","sandbox_policy":{"type":"workspace-write"},)"
                R"("model":"gpt-5.2-codex","effort":"high","summary":"auto")";
        end();
    }

    void tokenCount() {
        const auto input = static_cast<std::uint64_t>(growContext());
        total_ += input;
        begin("event_msg");
        out_ += R"("type":"token_count","info":{"total_token_usage":{"input_tokens":)";
        appendNumber(out_, total_);
        out_ += R"(,"cached_input_tokens":)";
        appendNumber(out_, total_ - total_ / 10);
        out_ += R"(,"output_tokens":)";
        appendNumber(out_, total_ / 50);
        out_ += R"(,"reasoning_output_tokens":0,"total_tokens":)";
        appendNumber(out_, total_ + total_ / 50);
        out_ += R"(},"last_token_usage":{"input_tokens":)";
        appendNumber(out_, input);
        out_ += R"(,"cached_input_tokens":)";
        appendNumber(out_, input - input / 10);
        const auto output = rng_.between(20, 900);
        out_ += R"(,"output_tokens":)";
        appendNumber(out_, output);
        out_ += R"(,"reasoning_output_tokens":0,"total_tokens":)";
        appendNumber(out_, input + output);
        out_ += R"(},"model_context_window":258400},"rate_limits":{"primary":{"used_percent":)";
        appendNumber(out_, rng_.below(100));
        out_ += R"(.0,"window_minutes":300,"resets_at":1757505600},"secondary":{"used_percent":)"
                R"(19.0,"window_minutes":10080,"resets_at":1757923200},"credits":)"
                R"({"has_credits":false,"unlimited":false,"balance":null},"plan_type":null})";
        end();
    }

    void toolStep(bool allowBig) override {
        std::string callId = "call_";
        appendBase64(callId, rng_, 24);
        std::string summary = "**";
        appendProse(summary, rng_, rng_.between(20, 60));
        summary += "**";

        begin("event_msg");
        out_ += R"("type":"agent_reasoning","text":")";
        out_ += summary;
        out_ += '"';
        end();
        begin("response_item");
        out_ += R"("type":"reasoning","summary":[{"type":"summary_text","text":")";
        out_ += summary;
        out_ += R"("}],"content":null,"encrypted_content":"gAAAAA)";
        appendBase64(out_, rng_, rng_.between(800, 4000));
        out_ += '"';
        end();
        begin("response_item");
        out_ += R"("type":"function_call","name":"exec_command","arguments":"{\"cmd\":\"rg -n )";
        out_ += kWords[rng_.below(kWords.size())];
        out_ += R"( src\"}","call_id":")";
        out_ += callId;
        out_ += '"';
        end();
        tokenCount();
        begin("response_item");
        out_ += R"("type":"function_call_output","call_id":")";
        out_ += callId;
        out_ += R"(","output":"Process exited with code 0\nOutput:\n)";
        appendOutput(out_, rng_, outputSize(allowBig, 1));
        out_ += '"';
        end();
    }

    void answer() override {
        std::string text;
        appendProse(text, rng_, rng_.between(100, 1500));
        message("assistant", "output_text", text);
        begin("event_msg");
        out_ += R"("type":"agent_message","message":")";
        out_ += text;
        out_ += '"';
        end();
        tokenCount();
    }

    std::uint64_t total_ = 0;
};

}  // namespace

std::string claudeTranscript(const FakeTranscript& plan) {
    return ClaudeWriter(plan).build();
}

std::string codexTranscript(const FakeTranscript& plan) {
    return CodexWriter(plan).build();
}

std::string fakeUuid(std::uint64_t seed) {
    Rng rng(seed);
    const std::uint64_t a = rng.next();
    const std::uint64_t b = rng.next();
    char text[37];
    std::snprintf(text, sizeof text,
                  "%08" PRIx64 "-%04" PRIx64 "-4%03" PRIx64 "-%04" PRIx64 "-%012" PRIx64, a >> 32,
                  (a >> 16) & 0xFFFF, a & 0xFFF, std::uint64_t{0x8000} | (b >> 48 & 0x3FFF),
                  b & std::uint64_t{0xFFFFFFFFFFFF});
    return text;
}

std::string isoTimestamp(double unixSeconds) {
    // The stamps the agents write: UTC with milliseconds and "Z".
    return wren::ISO8601::formatUtcMillis(wren::instantFromUnix(unixSeconds)).value_or("");
}

bool writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace wren::bench
