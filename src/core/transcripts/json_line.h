#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <simdjson.h>

#include "core/transcripts/instant.h"
#include "core/transcripts/transcript_window.h"

namespace wren::json {

/// Nested objects deeper than this are not searched; the parser itself stops at the same depth.
inline constexpr std::size_t kMaxDepth = simdjson::DEFAULT_MAX_DEPTH;

/// Parses one line of a window in place: the window's padding lets the parser read past the
/// line's end, so nothing is copied. One parser per reader call; the element it returns is valid
/// until the next parse.
class LineParser {
public:
    /// The line's top-level value when it is valid JSON; nothing otherwise.
    std::optional<simdjson::dom::element> parse(const TranscriptWindow& window, std::size_t line);
    /// The line's top-level object; nothing when it is not valid JSON or not an object.
    std::optional<simdjson::dom::object> parseObject(const TranscriptWindow& window,
                                                     std::size_t line);
    /// The same for a line of bytes read with their padding but not split into a window.
    std::optional<simdjson::dom::element> parse(const PaddedBuffer& data, LineRange line);
    std::optional<simdjson::dom::object> parseObject(const PaddedBuffer& data, LineRange line);

private:
    simdjson::dom::parser parser_;
};

/// An integer: an int64, or a double with an integral value inside the int64 range.
std::optional<std::int64_t> integer(simdjson::dom::element value);

std::optional<std::int64_t> integerMember(simdjson::dom::object object, std::string_view key);
std::optional<std::string_view> stringMember(simdjson::dom::object object, std::string_view key);
std::optional<simdjson::dom::object> objectMember(simdjson::dom::object object,
                                                  std::string_view key);
std::optional<simdjson::dom::element> member(simdjson::dom::object object, std::string_view key);
/// True only for a Boolean member that is true.
bool isTrue(simdjson::dom::object object, std::string_view key);

/// The record's "timestamp" text as an instant; nothing when absent or unparsable.
std::optional<Instant> recordTime(simdjson::dom::object record);

/// Whether `needle` occurs in `haystack` (a plain byte search, used before parsing a line).
bool contains(std::string_view haystack, std::string_view needle);

}  // namespace wren::json
