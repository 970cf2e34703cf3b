#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/transcripts/byte_source.h"
#include "core/transcripts/json_line.h"
#include "core/transcripts/jsonl_reader.h"
#include "core/transcripts/reader_arena.h"
#include "core/transcripts/session_summary.h"
#include "core/transcripts/transcript_readers.h"

/// What the Claude and the Codex reader share: the search for the newest user message, the
/// adaptor that walks a split window newest first, the read of the older window, and the
/// summary they build and how they end. Internal to the readers.
namespace wren::ReaderParts {

/// The newest line for which `message(record)` gives text, among those `nextLine` hands out
/// newest first. Lines that `worthParsing(line)` turns down are skipped before they are parsed.
template <class NextLine, class WorthParsing, class Message>
std::optional<std::string> newestMessage(const PaddedBuffer& data, NextLine&& nextLine,
                                         WorthParsing&& worthParsing, json::LineParser& parser,
                                         Message&& message) {
    while (const std::optional<LineRange> line = nextLine()) {
        if (!worthParsing(std::string_view(data.data() + line->begin, line->end - line->begin))) {
            continue;
        }
        const auto record = parser.parseObject(data, *line);
        if (!record) continue;
        if (auto text = message(*record)) return text;
    }
    return std::nullopt;
}

/// A split window's lines, newest first, in the shape newestMessage takes.
inline auto newestLines(const TranscriptWindow& window) {
    return [&window, i = window.lines.size()]() mutable -> std::optional<LineRange> {
        if (i == 0) return std::nullopt;
        return window.lines[--i];
    };
}

/// The newest message in the 3.5 MiB before the last 512 KiB of a source of `size` bytes, read
/// into the arena; nothing when the source is no larger than 512 KiB.
template <class WorthParsing, class Message>
std::optional<std::string> olderMessage(const ByteSource& source, std::optional<std::uint64_t> size,
                                        ReaderArena& arena, WorthParsing&& worthParsing,
                                        Message&& message);

/// The facts one scan found, ready to become a summary.
struct Findings {
    std::string nativeID;
    std::optional<std::string> cwd;
    Instant lastActivity;
    std::optional<std::string> lastMessage;
    std::int64_t turns = 0;
    std::optional<std::int64_t> tokens;
    std::optional<std::int64_t> contextWindow;
    TurnState turn = TurnState::unknown;
};

/// The summary both readers build: the id from the agent's prefix, the project from the working
/// directory, and the composition estimate from the tokens and turns.
SessionSummary summary(Agent agent, Findings findings);

/// How both readers end once the recent window is scanned: no summary without a time of last
/// activity, and then no older window either, since nothing in it could make one; otherwise,
/// when the scan found no user message, the newest one of the older window (see olderMessage).
template <class WorthParsing, class Message>
std::optional<SessionSummary> finished(Agent agent, Findings found,
                                       std::optional<Instant> lastActivity,
                                       const ByteSource& source, std::optional<std::uint64_t> size,
                                       ReaderArena& arena, WorthParsing&& worthParsing,
                                       Message&& message) {
    if (!lastActivity) return std::nullopt;
    if (!found.lastMessage) {
        found.lastMessage = olderMessage(source, size, arena, worthParsing, message);
    }
    found.lastActivity = *lastActivity;
    return summary(agent, std::move(found));
}

}  // namespace wren::ReaderParts

namespace wren::ReaderParts {

template <class WorthParsing, class Message>
std::optional<std::string> olderMessage(const ByteSource& source, std::optional<std::uint64_t> size,
                                        ReaderArena& arena, WorthParsing&& worthParsing,
                                        Message&& message) {
    const auto cuts = JSONLReader::readTail(source, size, SessionDiscovery::kOlderBytes,
                                            SessionDiscovery::kRecentBytes, arena.older);
    if (!cuts) return std::nullopt;
    JSONLReader::ReverseLines lines(arena.older.view(), *cuts);
    return newestMessage(
        arena.older, [&] { return lines.next(); }, worthParsing, arena.parser, message);
}

}  // namespace wren::ReaderParts
