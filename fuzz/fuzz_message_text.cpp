// Message cleaning on arbitrary text, and on arbitrary JSON as Claude or Codex content.

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "core/transcripts/message_text.h"

namespace {

using wren::fuzz::require;

// What every displayed message promises: one line, folded and trimmed, not markup.
void checkShown(const std::optional<std::string>& text, std::size_t inputSize) {
    if (!text) return;
    require(!text->empty(), "a message is never empty");
    require(text->front() != '<', "a message never starts with markup");
    require(text->front() != ' ' && text->back() != ' ', "a message is trimmed");
    require(text->find("  ") == std::string::npos, "white space runs are folded");
    require(text->size() <= inputSize, "cleaning never grows a text");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text->data());
    const auto length = static_cast<std::int32_t>(text->size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        require(c < 0 || c == ' ' || !u_isUWhiteSpace(c), "only plain spaces remain");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkShown(wren::MessageText::clean(bytes), size);

    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (!wren::fuzz::parseJson(parser, bytes, root)) return 0;
    // Joining adds at most one space per element, and an element costs more than one byte of
    // JSON, so the input size still bounds the result.
    checkShown(wren::MessageText::fromClaude(root), size);
    checkShown(wren::MessageText::fromCodex(root), size);
    simdjson::dom::element content;
    if (root["content"].get(content) == simdjson::SUCCESS) {
        checkShown(wren::MessageText::fromClaude(content), size);
        checkShown(wren::MessageText::fromCodex(content), size);
    }
    return 0;
}
