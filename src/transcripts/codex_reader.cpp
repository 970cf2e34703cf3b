#include "transcripts/json_line.h"
#include "transcripts/jsonl_reader.h"
#include "transcripts/message_text.h"
#include "transcripts/snr_estimate.h"
#include "transcripts/transcript_readers.h"

namespace wren::SessionDiscovery {
namespace {

constexpr std::string_view kSessionMetaMarker = "session_meta";
constexpr std::string_view kMessageMarker = "\"message\"";

struct Header {
    std::optional<std::string> id;
    std::optional<std::string> cwd;
};

// The first session_meta record of the head window names the session and its directory.
Header readHeader(const TranscriptWindow& head) {
    json::LineParser parser;
    for (std::size_t i = 0; i < head.lines.size(); ++i) {
        if (!json::contains(head.line(i), kSessionMetaMarker)) continue;
        const auto record = parser.parseObject(head, i);
        if (!record || json::stringMember(*record, "type") != "session_meta") continue;
        const auto payload = json::objectMember(*record, "payload");
        if (!payload) continue;
        Header header;
        // An empty id names no session: taken literally, every such file would merge into one.
        auto id = json::stringMember(*payload, "id");
        if (!id || id->empty()) id = json::stringMember(*payload, "session_id");
        if (id && !id->empty()) header.id = std::string(*id);
        if (auto cwd = json::stringMember(*payload, "cwd")) header.cwd = std::string(*cwd);
        return header;
    }
    return {};
}

bool isUserMessage(simdjson::dom::object payload) {
    return json::stringMember(payload, "type") == "message" &&
           json::stringMember(payload, "role") == "user";
}

std::optional<std::int64_t> findIntAtDepth(std::string_view key, simdjson::dom::element value,
                                           std::size_t depth) {
    simdjson::dom::object object;
    if (depth > json::kMaxDepth || value.get(object) != simdjson::SUCCESS) return std::nullopt;
    if (auto direct = json::integerMember(object, key)) return direct;
    for (auto field : object) {
        if (auto found = findIntAtDepth(key, field.value, depth + 1)) return found;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> findInt(std::string_view key, simdjson::dom::element value) {
    return findIntAtDepth(key, value, 0);
}

std::optional<std::int64_t> codexResidentTokens(simdjson::dom::object payload) {
    const auto info = json::objectMember(payload, "info");
    if (!info) return std::nullopt;
    const auto usage = json::objectMember(*info, "last_token_usage");
    if (!usage) return std::nullopt;
    return json::integerMember(*usage, "input_tokens");
}

namespace {

// The newest user message with display text among the lines `nextLine` hands out, newest first.
template <class NextLine>
std::optional<std::string> newestMessage(const PaddedBuffer& data, NextLine&& nextLine) {
    json::LineParser parser;
    while (const std::optional<LineRange> line = nextLine()) {
        if (!json::contains({data.data() + line->begin, line->end - line->begin}, kMessageMarker)) {
            continue;
        }
        const auto record = parser.parseObject(data, *line);
        if (!record) continue;
        const auto payload = json::objectMember(*record, "payload");
        if (!payload || !isUserMessage(*payload)) continue;
        if (auto text = MessageText::fromCodex(json::member(*payload, "content"))) return text;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> lastCodexMessage(const TranscriptWindow& window) {
    std::size_t i = window.lines.size();
    return newestMessage(window.data, [&]() -> std::optional<LineRange> {
        if (i == 0) return std::nullopt;
        return window.lines[--i];
    });
}

std::optional<SessionSummary> readCodex(const std::filesystem::path& file) {
    // One open for the head and both tails.
    const auto opened = RegularFile::open(file);
    if (!opened) return std::nullopt;
    const auto head = JSONLReader::head(*opened, kHeadBytes);
    if (!head) return std::nullopt;
    const auto window = JSONLReader::tailBytes(*opened, kRecentBytes, 0);
    if (!window) return std::nullopt;

    Header header = readHeader(*head);
    auto nativeID = header.id ? std::move(header.id) : uuid(file.filename().native());
    if (!nativeID) return std::nullopt;

    std::optional<Instant> lastActivity;
    std::int64_t turns = 0;
    std::optional<std::int64_t> tokens;
    std::optional<std::int64_t> contextWindow;
    std::optional<std::string> lastMessage;

    json::LineParser parser;
    JSONLReader::ReverseLines lines(*window);
    while (const auto line = lines.next()) {
        const auto root = parser.parse(window->data, *line);
        simdjson::dom::object record;
        if (!root || root->get(record) != simdjson::SUCCESS) continue;
        if (!lastActivity) lastActivity = json::recordTime(record);
        simdjson::dom::element payloadValue;
        simdjson::dom::object payload;
        if (record.at_key("payload").get(payloadValue) != simdjson::SUCCESS ||
            payloadValue.get(payload) != simdjson::SUCCESS) {
            continue;
        }
        const bool userMessage = isUserMessage(payload);
        if (userMessage) ++turns;
        if (!tokens && json::stringMember(payload, "type") == "token_count") {
            tokens = codexResidentTokens(payload);
        }
        if (!contextWindow) contextWindow = findInt("model_context_window", payloadValue);
        if (!lastMessage && userMessage) {
            lastMessage = MessageText::fromCodex(json::member(payload, "content"));
        }
        if (lastActivity && lastMessage && tokens) break;
    }
    if (!lastMessage) {
        if (const auto older = JSONLReader::tailBytes(*opened, kOlderBytes, kRecentBytes)) {
            JSONLReader::ReverseLines olderLines(*older);
            lastMessage = newestMessage(older->data, [&] { return olderLines.next(); });
        }
    }
    if (!lastActivity) return std::nullopt;

    SessionSummary summary;
    summary.id = std::string(idPrefix(Agent::codex)) + *nativeID;
    summary.agent = Agent::codex;
    summary.project = projectName(header.cwd);
    summary.workingDirectory = header.cwd;
    summary.lastActivity = *lastActivity;
    summary.lastUserMessage = std::move(lastMessage);
    summary.turns = turns;
    summary.contextWindow = contextWindow;
    summary.reportedTokens = tokens;
    summary.segments = SNREstimate::segments(tokens.value_or(0), turns, *nativeID);
    summary.nativeID = std::move(*nativeID);
    return summary;
}

}  // namespace wren::SessionDiscovery
