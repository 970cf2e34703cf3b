// The Claude reader on arbitrary transcript bytes, in memory.

#include <cstring>

#include "reader_input.h"
#include "core/transcripts/json_line.h"
#include "core/transcripts/jsonl_reader.h"
#include "core/transcripts/message_text.h"

namespace {

constexpr std::string_view kName = "0f8fad5b-d9cb-469f-a165-70867728950e.jsonl";

// The newest user message of a window by full parses alone, for comparison with the reader's
// search, which turns lines down with a lazy look first.
std::optional<std::string> newestByFullParse(const wren::TranscriptWindow& window) {
    wren::json::LineParser parser;
    for (std::size_t i = window.lines.size(); i-- > 0;) {
        const auto record = parser.parseObject(window, i);
        if (!record || wren::json::isTrue(*record, "isSidechain") ||
            wren::json::stringMember(*record, "type") != "user" ||
            wren::json::isTrue(*record, "isMeta")) {
            continue;
        }
        const auto message = wren::json::objectMember(*record, "message");
        if (!message) continue;
        if (auto text = wren::MessageText::fromClaude(wren::json::member(*message, "content"))) {
            return text;
        }
    }
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const wren::fuzz::ReaderInput input(data, size);
    const auto summary = wren::SessionDiscovery::readClaude(input, kName);
    if (summary) {
        wren::fuzz::checkSummary(*summary, "claude:");
        wren::fuzz::require(!summary->contextWindow, "Claude sessions carry no context window");
    }
    // The arena is reused by the next input: what it held must never show through, so a
    // second read of the same bytes must say the same.
    const auto again = wren::SessionDiscovery::readClaude(input, kName);
    wren::fuzz::require(again.has_value() == summary.has_value() &&
                            (!summary || (again->lastUserMessage == summary->lastUserMessage &&
                                          again->turns == summary->turns &&
                                          again->reportedTokens == summary->reportedTokens &&
                                          again->project == summary->project)),
                        "a read does not depend on the one before");

    // The message search with its lazy look agrees with full parses on the raw bytes.
    wren::PaddedBuffer bytes(size);
    if (size > 0) std::memcpy(bytes.data(), data, size);
    if (const auto window = wren::JSONLReader::window(std::move(bytes), false, false)) {
        wren::fuzz::require(
            wren::SessionDiscovery::lastClaudeMessage(*window) == newestByFullParse(*window),
            "the lazy look turns down only lines without a message");
    }
    return 0;
}
