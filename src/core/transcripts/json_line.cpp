#include "core/transcripts/json_line.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/transcripts/ascii.h"
#include "core/transcripts/iso8601.h"

namespace wren::json {

static_assert(PaddedBuffer::kPadding >= simdjson::SIMDJSON_PADDING);

namespace {

constexpr auto npos = std::string_view::npos;

bool fitsSixtyFourBits(std::string_view token) {
    const char* const end = token.data() + token.size();
    std::int64_t s = 0;
    if (const auto r = std::from_chars(token.data(), end, s); r.ec == std::errc{} && r.ptr == end) {
        return true;
    }
    std::uint64_t u = 0;
    const auto r = std::from_chars(token.data(), end, u);
    return r.ec == std::errc{} && r.ptr == end;
}

// An integer literal that no 64-bit integer holds, as the nearest double outside the int64 range
// (-2^63 - 1 would otherwise round to -2^63, a valid int64). Empty when it is no number at all.
std::string asDoubleOutOfRange(std::string_view token) {
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    double d = 0;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), d);
    if (r.ptr != token.data() + token.size()) return {};
    if (r.ec == std::errc::result_out_of_range) {
        d = token.front() == '-' ? -std::numeric_limits<double>::max()
                                 : std::numeric_limits<double>::max();
    } else if (r.ec != std::errc{}) {
        return {};
    }
    if (d >= -kLimit && d < kLimit) d = std::nextafter(-kLimit, -HUGE_VAL);
    char text[32];
    // Scientific: the shortest plain form of 2^64 would be an integer literal again.
    const auto written = std::to_chars(text, text + sizeof text, d, std::chars_format::scientific);
    return std::string(text, written.ptr);
}

// The line with every integer literal outside strings that no 64-bit integer holds written as
// a double; nothing when it has none.
std::optional<std::string> widenHugeIntegers(std::string_view line) {
    std::string out;
    out.reserve(line.size() + 16);
    bool changed = false;
    bool inString = false;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (inString) {
            out.push_back(c);
            ++i;
            if (c == '\\' && i < line.size()) {
                out.push_back(line[i++]);
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c != '-' && !isAsciiDigit(c)) {
            inString = c == '"';
            out.push_back(c);
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        bool integral = true;
        while (end < line.size() &&
               (isAsciiDigit(line[end]) || std::string_view(".eE+-").find(line[end]) != npos)) {
            integral = integral && isAsciiDigit(line[end]);
            ++end;
        }
        const std::string_view token = line.substr(i, end - i);
        const std::string wide =
            integral && !fitsSixtyFourBits(token) ? asDoubleOutOfRange(token) : std::string();
        out.append(wide.empty() ? token : std::string_view(wide));
        changed = changed || !wide.empty();
        i = end;
    }
    if (!changed) return std::nullopt;
    return out;
}

}  // namespace

std::optional<simdjson::dom::element> LineParser::parse(const TranscriptWindow& window,
                                                        std::size_t line) {
    return parse(window.data, window.lines[line]);
}

std::optional<simdjson::dom::element> LineParser::parse(const PaddedBuffer& data, LineRange r) {
    simdjson::dom::element root;
    // realloc_if_needed = false: the bytes behind the line (the rest of the window and its
    // zeroed padding) are readable, which is all the parser asks.
    const auto error = parser_.parse(data.data() + r.begin, r.end - r.begin, false).get(root);
    if (error == simdjson::SUCCESS) return root;
    // The parser fails a whole line over one integer beyond 64 bits, though to the readers that
    // is only an absent value. Written as a double out of the int64 range, it is a number that
    // no integer field accepts, and the rest of the record still counts. Only such lines retry.
    if (error != simdjson::NUMBER_ERROR) return std::nullopt;
    const auto widened = widenHugeIntegers({data.data() + r.begin, r.end - r.begin});
    if (!widened) return std::nullopt;
    // The document keeps its own copies of the strings, so the padded copy may go after this.
    const simdjson::padded_string copy(*widened);
    if (parser_.parse(copy).get(root) != simdjson::SUCCESS) return std::nullopt;
    return root;
}

std::optional<simdjson::dom::object> LineParser::parseObject(const TranscriptWindow& window,
                                                             std::size_t line) {
    return parseObject(window.data, window.lines[line]);
}

std::optional<simdjson::dom::object> LineParser::parseObject(const PaddedBuffer& data,
                                                             LineRange line) {
    const auto root = parse(data, line);
    simdjson::dom::object object;
    if (!root || root->get(object) != simdjson::SUCCESS) return std::nullopt;
    return object;
}

std::optional<std::int64_t> integer(simdjson::dom::element value) {
    switch (value.type()) {
        case simdjson::dom::element_type::INT64:
            return value.get_int64().value_unsafe();
        case simdjson::dom::element_type::DOUBLE: {
            const double d = value.get_double().value_unsafe();
            // [-2^63, 2^63): every integral double in it converts exactly.
            if (std::isfinite(d) && std::trunc(d) == d && d >= -9223372036854775808.0 &&
                d < 9223372036854775808.0) {
                return static_cast<std::int64_t>(d);
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;  // UINT64 above the int64 range, and every non-number
    }
}

std::optional<simdjson::dom::element> member(simdjson::dom::object object, std::string_view key) {
    simdjson::dom::element value;
    if (object.at_key(key).get(value) != simdjson::SUCCESS) return std::nullopt;
    return value;
}

std::optional<std::int64_t> integerMember(simdjson::dom::object object, std::string_view key) {
    const auto value = member(object, key);
    return value ? integer(*value) : std::nullopt;
}

std::optional<std::string_view> stringMember(simdjson::dom::object object, std::string_view key) {
    std::string_view text;
    if (object.at_key(key).get(text) != simdjson::SUCCESS) return std::nullopt;
    return text;
}

std::optional<simdjson::dom::object> objectMember(simdjson::dom::object object,
                                                  std::string_view key) {
    simdjson::dom::object value;
    if (object.at_key(key).get(value) != simdjson::SUCCESS) return std::nullopt;
    return value;
}

bool isTrue(simdjson::dom::object object, std::string_view key) {
    bool value = false;
    return object.at_key(key).get(value) == simdjson::SUCCESS && value;
}

std::optional<Instant> recordTime(simdjson::dom::object record) {
    const auto text = stringMember(record, "timestamp");
    return text ? ISO8601::parseAny(*text) : std::nullopt;
}

bool contains(std::string_view haystack, std::string_view needle) {
    if (haystack.size() < needle.size()) return false;
    return ::memmem(haystack.data(), haystack.size(), needle.data(), needle.size()) != nullptr;
}

}  // namespace wren::json
