#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wren {

/// Writes one compact JSON document into a string, for tools and scripts to read. Members and
/// elements are separated for the caller, and every text comes out valid whatever it held,
/// escaped as PrintedText::appendJsonString does.
///
/// The caller keeps the shape right: key() before every value inside an object, none inside an
/// array, every begin matched by its end. Numbers that JSON cannot hold (NaN, infinities) are
/// written as null.
class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    JsonWriter& beginObject() { return open('{'); }
    JsonWriter& endObject() { return close('}'); }
    JsonWriter& beginArray() { return open('['); }
    JsonWriter& endArray() { return close(']'); }
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(double number);
    JsonWriter& value(bool flag);
    JsonWriter& null();

    /// The value, or null when it is absent.
    template <class T>
    JsonWriter& value(const std::optional<T>& maybe) {
        return maybe ? value(*maybe) : null();
    }

  private:
    void separate();
    JsonWriter& open(char bracket);
    JsonWriter& close(char bracket);

    std::string& out_;
    std::vector<bool> first_;  // per open container: nothing written in it yet
    bool afterKey_ = false;
};

}  // namespace wren
