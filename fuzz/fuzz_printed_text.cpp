// Text from transcripts as we print it: in the JSON snapshot and on a terminal line (the dump,
// notes). Whatever the bytes, the JSON literal must parse and read back as the text (ill-formed
// UTF-8 replaced), and neither form may carry a control, a C1 control or a bidirectional
// override raw.

#include <simdjson.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/cli/printed_text.h"
#include "core/cli/utf8.h"
#include "fuzz_checks.h"

using wren::fuzz::require;

namespace {

// The text with every ill-formed piece replaced, by the same steps the writers take.
std::string replaced(std::string_view text, bool& valid) {
    std::string out;
    valid = true;
    for (std::size_t at = 0; at < text.size();) {
        const wren::Utf8::Step step = wren::Utf8::at(text, at);
        require(step.length >= 1 && at + step.length <= text.size(), "a step stays inside");
        if (step.valid) {
            out.append(text.substr(at, step.length));
        } else {
            out.append(wren::Utf8::kReplacement);
            valid = false;
        }
        at += step.length;
    }
    return out;
}

void requireNothingRaw(std::string_view printed, const char* where) {
    for (std::size_t at = 0; at < printed.size();) {
        const wren::Utf8::Step step = wren::Utf8::at(printed, at);
        require(step.valid, where);
        require(step.codePoint >= 0x20 && step.codePoint != 0x7F &&
                    !wren::Utf8::isC1Control(step.codePoint) &&
                    !wren::Utf8::reordersText(step.codePoint),
                where);
        at += step.length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    bool valid = false;
    const std::string expected = replaced(text, valid);
    require(simdjson::validate_utf8(expected.data(), expected.size()), "replacement is UTF-8");
    require(valid == simdjson::validate_utf8(text.data(), text.size()),
            "the steps judge UTF-8 as the validator does");

    std::string literal;
    wren::PrintedText::appendJsonString(literal, text);
    requireNothingRaw(literal, "the JSON literal carries nothing raw");
    simdjson::dom::parser parser;
    std::string_view back;
    require(parser.parse(simdjson::padded_string(literal)).get(back) == simdjson::SUCCESS,
            "the JSON literal parses as a string");
    require(back == expected, "the JSON literal reads back as the text");

    const std::string line = wren::PrintedText::forTerminal(text);
    requireNothingRaw(line, "the terminal line carries nothing raw");
    return 0;
}
