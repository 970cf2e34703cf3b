#include "app/json_writer.h"

#include <charconv>
#include <cmath>

#include "app/utf8.h"

namespace wren {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendEscape(std::string& out, char32_t c) {
    out.append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
}

bool escapedForTerminals(char32_t c) {
    return c == 0x7F || Utf8::isC1Control(c) || Utf8::reordersText(c) || c == 0x2028 || c == 0x2029;
}

}  // namespace

void JsonWriter::appendString(std::string& out, std::string_view text) {
    out.push_back('"');
    std::size_t at = 0;
    while (at < text.size()) {
        const Utf8::Step step = Utf8::at(text, at);
        const std::string_view piece = text.substr(at, step.length);
        at += step.length;
        if (!step.valid) {
            out.append(Utf8::kReplacement);
            continue;
        }
        const char32_t c = step.codePoint;
        switch (c) {
            case '"':
                out.append("\\\"");
                continue;
            case '\\':
                out.append("\\\\");
                continue;
            case '\n':
                out.append("\\n");
                continue;
            case '\r':
                out.append("\\r");
                continue;
            case '\t':
                out.append("\\t");
                continue;
            default:
                break;
        }
        if (c < 0x20 || escapedForTerminals(c)) {
            appendEscape(out, c);
        } else {
            out.append(piece);
        }
    }
    out.push_back('"');
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (first_.empty()) return;
    if (!first_.back()) out_.push_back(',');
    first_.back() = false;
}

JsonWriter& JsonWriter::beginObject() {
    separate();
    out_.push_back('{');
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    out_.push_back('}');
    if (!first_.empty()) first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    out_.push_back('[');
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    out_.push_back(']');
    if (!first_.empty()) first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    appendString(out_, name);
    out_.push_back(':');
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    appendString(out_, text);
    return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number) {
    separate();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out_.append(digits, end);
    return *this;
}

JsonWriter& JsonWriter::value(double number) {
    if (!std::isfinite(number)) return null();
    separate();
    // The shortest text that reads back as the same double; always a valid JSON number.
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out_.append(digits, end);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    out_.append(flag ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::null() {
    separate();
    out_.append("null");
    return *this;
}

}  // namespace wren
