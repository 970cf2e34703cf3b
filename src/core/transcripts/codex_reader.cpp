#include "core/transcripts/json_line.h"
#include "core/transcripts/jsonl_reader.h"
#include "core/transcripts/message_text.h"
#include "core/transcripts/reader_parts.h"
#include "core/transcripts/transcript_readers.h"

namespace wren::SessionDiscovery {
namespace {

constexpr std::string_view kSessionMetaMarker = "session_meta";
constexpr std::string_view kMessageMarker = "\"message\"";

struct Header {
    std::optional<std::string> id;
    std::optional<std::string> cwd;
};

// The first session_meta record of the head window names the session and its directory.
Header readHeader(const PaddedBuffer& head, JSONLReader::Cuts cuts, json::LineParser& parser) {
    JSONLReader::ForwardLines lines(head.view(), cuts);
    while (const auto line = lines.next()) {
        if (!json::contains({head.data() + line->begin, line->end - line->begin},
                            kSessionMetaMarker)) {
            continue;
        }
        const auto record = parser.parseObject(head, *line);
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

// The text of a record whose payload is a user message.
std::optional<std::string> userMessage(simdjson::dom::object record) {
    const auto payload = json::objectMember(record, "payload");
    if (!payload || !isUserMessage(*payload)) return std::nullopt;
    return MessageText::fromCodex(json::member(*payload, "content"));
}

bool mayBeMessage(std::string_view line) {
    return json::contains(line, kMessageMarker);
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

// One record's say about the turn: a task event, or a user's message (either the response item
// or its event).
void noteTurn(TurnScan& scan, simdjson::dom::object record, simdjson::dom::object payload,
              bool userMessage) {
    if (userMessage) {
        scan.codexUserMessage();
        return;
    }
    if (json::stringMember(record, "type") != "event_msg") return;
    const auto type = json::stringMember(payload, "type");
    if (type == "user_message") {
        scan.codexUserMessage();
    } else if (type) {
        scan.codexEvent(*type);
    }
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

std::optional<std::string> lastCodexMessage(const TranscriptWindow& window) {
    json::LineParser parser;
    return ReaderParts::newestMessage(window.data, ReaderParts::newestLines(window), mayBeMessage,
                                      parser, userMessage);
}

std::optional<SessionSummary> readCodex(const ByteSource& source, std::string_view fileName) {
    ReaderArena& arena = ReaderArena::local();
    const auto size = source.size();
    // The head goes through the buffer the tail then fills: the header keeps copies of what it
    // needs, and a second buffer would be memory each thread touches for nothing.
    const auto headCuts = JSONLReader::readHead(source, size, kHeadBytes, arena.recent);
    if (!headCuts) return std::nullopt;
    Header header = readHeader(arena.recent, *headCuts, arena.parser);
    const auto cuts = JSONLReader::readTail(source, size, kRecentBytes, 0, arena.recent);
    if (!cuts) return std::nullopt;

    auto nativeID = header.id ? std::move(header.id) : uuid(fileName);
    if (!nativeID) return std::nullopt;

    ReaderParts::Findings found;
    found.nativeID = std::move(*nativeID);
    found.cwd = std::move(header.cwd);
    std::optional<Instant> lastActivity;
    TurnScan turn;
    JSONLReader::ReverseLines lines(arena.recent.view(), *cuts);
    while (const auto line = lines.next()) {
        const auto root = arena.parser.parse(arena.recent, *line);
        simdjson::dom::object record;
        if (!root || root->get(record) != simdjson::SUCCESS) continue;
        if (!lastActivity) lastActivity = json::recordTime(record);
        simdjson::dom::element payloadValue;
        simdjson::dom::object payload;
        if (record.at_key("payload").get(payloadValue) != simdjson::SUCCESS ||
            payloadValue.get(payload) != simdjson::SUCCESS) {
            continue;
        }
        const bool userTurn = isUserMessage(payload);
        if (userTurn) ++found.turns;
        if (!turn.decided()) noteTurn(turn, record, payload, userTurn);
        if (!found.tokens && json::stringMember(payload, "type") == "token_count") {
            found.tokens = codexResidentTokens(payload);
        }
        if (!found.contextWindow) {
            found.contextWindow = findInt("model_context_window", payloadValue);
        }
        if (!found.lastMessage && userTurn) {
            found.lastMessage = MessageText::fromCodex(json::member(payload, "content"));
        }
        if (lastActivity && found.lastMessage && found.tokens) break;
    }
    // The turn is often decided by an older task event: the rest of the window is searched for
    // one, parsing only the lines that may hold it.
    while (!turn.decided()) {
        const auto line = lines.next();
        if (!line) break;
        if (!mayBeCodexTaskEvent(
                std::string_view(arena.recent.data() + line->begin, line->end - line->begin))) {
            continue;
        }
        const auto record = arena.parser.parseObject(arena.recent, *line);
        if (!record) continue;
        if (const auto payload = json::objectMember(*record, "payload")) {
            noteTurn(turn, *record, *payload, false);
        }
    }
    found.turn = turn.state();
    return ReaderParts::finished(Agent::codex, std::move(found), lastActivity, source, size, arena,
                                 mayBeMessage, userMessage);
}

}  // namespace wren::SessionDiscovery
