#include "transcripts/json_line.h"
#include "transcripts/jsonl_reader.h"
#include "transcripts/message_text.h"
#include "transcripts/snr_estimate.h"
#include "transcripts/transcript_readers.h"

namespace wren::SessionDiscovery {
namespace {

constexpr std::string_view kUserMarker = "\"user\"";

bool isUserTurn(simdjson::dom::object record) {
    return json::stringMember(record, "type") == "user" && !json::isTrue(record, "isMeta");
}

std::optional<std::string> messageText(simdjson::dom::object record) {
    const auto message = json::objectMember(record, "message");
    if (!message) return std::nullopt;
    return MessageText::fromClaude(json::member(*message, "content"));
}

// input + cache read + cache creation; absent when not positive. A sum beyond 64 bits is not a
// real count, so it counts as absent too rather than wrapping around.
std::optional<std::int64_t> contextTokens(simdjson::dom::object record) {
    const auto message = json::objectMember(record, "message");
    if (!message) return std::nullopt;
    const auto usage = json::objectMember(*message, "usage");
    if (!usage) return std::nullopt;
    std::int64_t sum = 0;
    for (std::string_view key :
         {"input_tokens", "cache_read_input_tokens", "cache_creation_input_tokens"}) {
        if (__builtin_add_overflow(sum, json::integerMember(*usage, key).value_or(0), &sum)) {
            return std::nullopt;
        }
    }
    return sum >= 1 ? std::optional(sum) : std::nullopt;
}

// The newest user message with display text among the lines `nextLine` hands out, newest first.
template <class NextLine>
std::optional<std::string> newestMessage(const PaddedBuffer& data, NextLine&& nextLine) {
    json::LineParser parser;
    while (const std::optional<LineRange> line = nextLine()) {
        if (!json::contains({data.data() + line->begin, line->end - line->begin}, kUserMarker)) {
            continue;
        }
        const auto record = parser.parseObject(data, *line);
        if (!record || json::isTrue(*record, "isSidechain") || !isUserTurn(*record)) continue;
        if (auto text = messageText(*record)) return text;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> lastClaudeMessage(const TranscriptWindow& window) {
    std::size_t i = window.lines.size();
    return newestMessage(window.data, [&]() -> std::optional<LineRange> {
        if (i == 0) return std::nullopt;
        return window.lines[--i];
    });
}

std::optional<SessionSummary> readClaude(const std::filesystem::path& file) {
    const auto opened = RegularFile::open(file);
    if (!opened) return std::nullopt;
    const auto window = JSONLReader::tailBytes(*opened, kRecentBytes, 0);
    if (!window) return std::nullopt;
    auto nativeID = uuid(file.filename().native());
    if (!nativeID) return std::nullopt;

    std::optional<Instant> lastActivity;
    std::int64_t turns = 0;
    std::optional<std::string> cwd;
    std::optional<std::int64_t> tokens;
    std::optional<std::string> lastMessage;

    json::LineParser parser;
    JSONLReader::ReverseLines lines(*window);
    while (const auto line = lines.next()) {
        const auto record = parser.parseObject(window->data, *line);
        if (!record || json::isTrue(*record, "isSidechain")) continue;
        const bool userTurn = isUserTurn(*record);
        if (userTurn) ++turns;
        if (!cwd) {
            if (auto text = json::stringMember(*record, "cwd")) cwd = std::string(*text);
        }
        if (!lastActivity) lastActivity = json::recordTime(*record);
        if (!tokens) tokens = contextTokens(*record);
        if (!lastMessage && userTurn) lastMessage = messageText(*record);
        if (lastActivity && lastMessage && cwd && tokens) break;
    }
    if (!lastMessage) {
        if (const auto older = JSONLReader::tailBytes(*opened, kOlderBytes, kRecentBytes)) {
            JSONLReader::ReverseLines olderLines(*older);
            lastMessage = newestMessage(older->data, [&] { return olderLines.next(); });
        }
    }
    if (!lastActivity) return std::nullopt;

    SessionSummary summary;
    summary.id = std::string(idPrefix(Agent::claude)) + *nativeID;
    summary.agent = Agent::claude;
    summary.project = projectName(cwd);
    summary.workingDirectory = cwd;
    summary.lastActivity = *lastActivity;
    summary.lastUserMessage = std::move(lastMessage);
    summary.turns = turns;
    summary.reportedTokens = tokens;
    summary.segments = SNREstimate::segments(tokens.value_or(0), turns, *nativeID);
    summary.nativeID = std::move(*nativeID);
    return summary;
}

}  // namespace wren::SessionDiscovery
