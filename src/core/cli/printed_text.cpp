#include "core/cli/printed_text.h"

#include "core/cli/utf8.h"

namespace wren::PrintedText {
namespace {

constexpr char kHex[] = "0123456789abcdef";

enum class Form { terminal, json };

void appendHex(std::string& out, char32_t c, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.push_back(kHex[(c >> shift) & 0xF]);
}

bool upsetsTerminals(char32_t c) {
    return c < 0x20 || c == 0x7F || Utf8::isC1Control(c) || Utf8::reordersText(c) || c == 0x2028 ||
           c == 0x2029;
}

void append(std::string& out, std::string_view text, Form form) {
    std::size_t at = 0;
    while (at < text.size()) {
        const Utf8::Step step = Utf8::at(text, at);
        const std::string_view piece = text.substr(at, step.length);
        at += step.length;
        const char32_t c = step.codePoint;
        if (!step.valid) {
            out.append(Utf8::kReplacement);
        } else if (c == '\\') {
            out.append("\\\\");
        } else if (c == '"' && form == Form::json) {
            out.append("\\\"");
        } else if (c == '\t') {
            out.append("\\t");
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c == '\r') {
            out.append("\\r");
        } else if (!upsetsTerminals(c)) {
            out.append(piece);
        } else if (form == Form::terminal && (c < 0x20 || c == 0x7F)) {
            out.append("\\x");
            appendHex(out, c, 2);
        } else {
            out.append("\\u");
            appendHex(out, c, 4);
        }
    }
}

}  // namespace

std::string forTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    append(out, text, Form::terminal);
    return out;
}

void appendJsonString(std::string& out, std::string_view text) {
    out.push_back('"');
    append(out, text, Form::json);
    out.push_back('"');
}

}  // namespace wren::PrintedText
