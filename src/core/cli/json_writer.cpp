#include "core/cli/json_writer.h"

#include <charconv>
#include <cmath>

#include "core/cli/printed_text.h"

namespace wren {

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (first_.empty()) return;
    if (!first_.back()) out_.push_back(',');
    first_.back() = false;
}

JsonWriter& JsonWriter::open(char bracket) {
    separate();
    out_.push_back(bracket);
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::close(char bracket) {
    out_.push_back(bracket);
    if (!first_.empty()) first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    PrintedText::appendJsonString(out_, name);
    out_.push_back(':');
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    PrintedText::appendJsonString(out_, text);
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
