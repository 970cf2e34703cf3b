#include "core/transcripts/json_line.h"
#include "core/transcripts/jsonl_reader.h"
#include "core/transcripts/message_text.h"
#include "core/transcripts/reader_parts.h"
#include "core/transcripts/transcript_readers.h"

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

// The text of a user record that counts as a message: not a sidechain, not meta.
std::optional<std::string> userMessage(simdjson::dom::object record) {
    if (json::isTrue(record, "isSidechain") || !isUserTurn(record)) return std::nullopt;
    return messageText(record);
}

// Whether the line is surely no message, looking only at message.content: a list in which no
// element is an object whose "type" is "text" cannot give text. The lazy parser does not build
// the rest (a tool's output can be hundreds of KB), so most of the older window is turned down
// at a fraction of a full parse. Any doubt, an error on the way included, says "maybe": the full
// parse decides those, and on the lines it accepts, both see the same first-found members.
bool surelyNoText(simdjson::ondemand::parser& skimmer, std::string_view line) {
    using namespace simdjson;
    ondemand::document document;
    ondemand::object record, message, element;
    ondemand::array content;
    if (skimmer.iterate(line.data(), line.size(), line.size() + SIMDJSON_PADDING).get(document) ||
        document.get_object().get(record) ||
        record.find_field("message").get_object().get(message) ||
        message.find_field("content").get_array().get(content)) {
        return false;
    }
    for (auto item : content) {
        if (item.get_object().get(element)) return false;
        auto type = element.find_field("type");
        if (type.error() == NO_SUCH_FIELD) continue;
        ondemand::json_type kind;
        if (type.type().get(kind)) return false;
        if (kind != ondemand::json_type::string) continue;
        std::string_view text;
        if (type.get_string().get(text) || text == "text") return false;
    }
    return true;
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

// The first text of a message's content: the content itself when it is a text, else the first
// element's "text" member.
std::optional<std::string_view> leadingText(simdjson::dom::object message) {
    const auto content = json::member(message, "content");
    if (!content) return std::nullopt;
    std::string_view text;
    if (content->get(text) == simdjson::SUCCESS) return text;
    simdjson::dom::array items;
    simdjson::dom::object first;
    if (content->get(items) != simdjson::SUCCESS || items.size() == 0 ||
        items.at(0).get(first) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return json::stringMember(first, "text");
}

bool hasItemOfType(simdjson::dom::object message, std::string_view type) {
    const auto content = json::member(message, "content");
    simdjson::dom::array items;
    if (!content || content->get(items) != simdjson::SUCCESS) return false;
    for (const auto item : items) {
        simdjson::dom::object object;
        if (item.get(object) == simdjson::SUCCESS && json::stringMember(object, "type") == type) {
            return true;
        }
    }
    return false;
}

// One record's say about the turn; meta records, snapshots and summaries say nothing.
void noteTurn(TurnScan& scan, simdjson::dom::object record) {
    const auto type = json::stringMember(record, "type");
    if (type == "system") {
        if (const auto subtype = json::stringMember(record, "subtype")) scan.claudeSystem(*subtype);
        return;
    }
    if (type != "assistant" && !(type == "user" && isUserTurn(record))) return;
    const auto message = json::objectMember(record, "message");
    if (!message) return;
    if (type == "assistant") {
        scan.claudeAssistant(json::stringMember(*message, "stop_reason"),
                             hasItemOfType(*message, "tool_use"));
        return;
    }
    using Kind = TurnScan::UserRecord;
    const std::string_view text = leadingText(*message).value_or("");
    if (text.starts_with("[Request interrupted by user")) {
        scan.claudeUser(Kind::interruption);
    } else if (text.starts_with("<local-command-stdout>") ||
               text.starts_with("<local-command-stderr>")) {
        scan.claudeUser(Kind::localCommand);
    } else {
        scan.claudeUser(hasItemOfType(*message, "tool_result") ? Kind::toolResult : Kind::prompt);
    }
}

}  // namespace

std::optional<std::string> lastClaudeMessage(const TranscriptWindow& window) {
    json::LineParser parser;
    simdjson::ondemand::parser skimmer;
    return ReaderParts::newestMessage(
        window.data, ReaderParts::newestLines(window),
        [&](std::string_view line) {
            return json::contains(line, kUserMarker) && !surelyNoText(skimmer, line);
        },
        parser, userMessage);
}

std::optional<SessionSummary> readClaude(const ByteSource& source, std::string_view fileName) {
    ReaderArena& arena = ReaderArena::local();
    const auto size = source.size();
    const auto cuts = JSONLReader::readTail(source, size, kRecentBytes, 0, arena.recent);
    if (!cuts) return std::nullopt;
    auto nativeID = uuid(fileName);
    if (!nativeID) return std::nullopt;

    ReaderParts::Findings found;
    found.nativeID = std::move(*nativeID);
    std::optional<Instant> lastActivity;
    TurnScan turn;
    JSONLReader::ReverseLines lines(arena.recent.view(), *cuts);
    while (const auto line = lines.next()) {
        const auto record = arena.parser.parseObject(arena.recent, *line);
        if (!record || json::isTrue(*record, "isSidechain")) continue;
        if (!turn.decided()) noteTurn(turn, *record);
        const bool userTurn = isUserTurn(*record);
        if (userTurn) ++found.turns;
        if (!found.cwd) {
            if (auto text = json::stringMember(*record, "cwd")) found.cwd = std::string(*text);
        }
        if (!lastActivity) lastActivity = json::recordTime(*record);
        if (!found.tokens) found.tokens = contextTokens(*record);
        if (!found.lastMessage && userTurn) found.lastMessage = messageText(*record);
        if (lastActivity && found.lastMessage && found.cwd && found.tokens && turn.decided()) break;
    }
    found.turn = turn.state();
    return ReaderParts::finished(
        Agent::claude, std::move(found), lastActivity, source, size, arena,
        [&](std::string_view line) {
            return json::contains(line, kUserMarker) && !surelyNoText(arena.skimmer, line);
        },
        userMessage);
}

}  // namespace wren::SessionDiscovery
