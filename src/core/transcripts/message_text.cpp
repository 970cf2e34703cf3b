#include "core/transcripts/message_text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <array>

namespace wren::MessageText {
namespace {

struct Tag {
    std::string_view open;
    std::string_view close;
};

constexpr std::array<Tag, 4> kMachinery{{
    {"<system-reminder>", "</system-reminder>"},
    {"<command-name>", "</command-name>"},
    {"<command-message>", "</command-message>"},
    {"<local-command-stdout>", "</local-command-stdout>"},
}};

// Every "<T>…</T>" with the shortest body, leftmost first, removed in one pass.
std::string removeBlocks(std::string_view text, const Tag& tag) {
    std::string out;
    out.reserve(text.size());
    std::size_t cursor = 0;
    while (true) {
        const std::size_t open = text.find(tag.open, cursor);
        if (open == std::string_view::npos) break;
        const std::size_t close = text.find(tag.close, open + tag.open.size());
        // No closing tag after this opening means none after any later opening either.
        if (close == std::string_view::npos) break;
        out.append(text, cursor, open - cursor);
        cursor = close + tag.close.size();
    }
    out.append(text, cursor, std::string_view::npos);
    return out;
}

// The code point at `i` and its length; invalid bytes count as one non-space unit.
UChar32 codePointAt(std::string_view s, std::size_t i, std::size_t& length) {
    int32_t offset = static_cast<int32_t>(i);
    UChar32 c = 0;
    const auto size = static_cast<int32_t>(std::min<std::size_t>(s.size(), INT32_MAX));
    U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), offset, size, c);
    length = static_cast<std::size_t>(offset) - i;
    return c;
}

bool isSpace(UChar32 c) { return c >= 0 && u_isUWhiteSpace(c); }

// Trims Unicode white space at both ends and folds every inner run into one " ".
std::string foldWhiteSpace(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const UChar32 c = codePointAt(text, i, length);
        if (isSpace(c)) {
            pendingSpace = !out.empty();
        } else {
            if (pendingSpace) out.push_back(' ');
            pendingSpace = false;
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

std::optional<std::string> joinTexts(simdjson::dom::array list, bool onlyTextType) {
    // Only a list made entirely of objects counts.
    for (simdjson::dom::element element : list) {
        if (!element.is_object()) return std::nullopt;
    }
    std::string joined;
    bool first = true;
    for (simdjson::dom::element element : list) {
        if (onlyTextType) {
            std::string_view type;
            if (element["type"].get(type) != simdjson::SUCCESS || type != "text") continue;
        }
        std::string_view text;
        if (element["text"].get(text) != simdjson::SUCCESS) continue;
        if (!first) joined.push_back(' ');
        joined.append(text);
        first = false;
    }
    return clean(joined);
}

}  // namespace

std::optional<std::string> clean(std::string_view text) {
    std::string stripped(text);
    for (const Tag& tag : kMachinery) stripped = removeBlocks(stripped, tag);
    std::string folded = foldWhiteSpace(stripped);
    if (folded.empty() || folded.front() == '<') return std::nullopt;
    return folded;
}

std::optional<std::string> fromClaude(std::optional<simdjson::dom::element> content) {
    if (!content) return std::nullopt;
    std::string_view text;
    if (content->get(text) == simdjson::SUCCESS) return clean(text);
    simdjson::dom::array list;
    if (content->get(list) == simdjson::SUCCESS) return joinTexts(list, true);
    return std::nullopt;
}

std::optional<std::string> fromCodex(std::optional<simdjson::dom::element> content) {
    if (!content) return std::nullopt;
    simdjson::dom::array list;
    if (content->get(list) == simdjson::SUCCESS) return joinTexts(list, false);
    return std::nullopt;
}

}  // namespace wren::MessageText
