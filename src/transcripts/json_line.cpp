#include "transcripts/json_line.h"

#include <cmath>
#include <cstring>

namespace wren::json {

static_assert(PaddedBuffer::kPadding >= simdjson::SIMDJSON_PADDING);

std::optional<simdjson::dom::element> LineParser::parse(const TranscriptWindow& window,
                                                        std::size_t line) {
    const LineRange r = window.lines[line];
    simdjson::dom::element root;
    // realloc_if_needed = false: the bytes behind the line (the rest of the window and its
    // zeroed padding) are readable, which is all the parser asks.
    if (parser_.parse(window.data.data() + r.begin, r.end - r.begin, false).get(root) !=
        simdjson::SUCCESS) {
        return std::nullopt;
    }
    return root;
}

std::optional<simdjson::dom::object> LineParser::parseObject(const TranscriptWindow& window,
                                                             std::size_t line) {
    const auto root = parse(window, line);
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

bool contains(std::string_view haystack, std::string_view needle) {
    if (haystack.size() < needle.size()) return false;
    return ::memmem(haystack.data(), haystack.size(), needle.data(), needle.size()) != nullptr;
}

}  // namespace wren::json
