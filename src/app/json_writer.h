#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wren {

/// Writes one compact JSON document into a string, for tools and scripts to read. Members and
/// elements are separated for the caller, and every text comes out valid whatever it held:
/// quotes, backslashes and controls escaped, each ill-formed UTF-8 piece replaced by U+FFFD.
/// Characters that could upset a terminal showing the document raw are escaped too (DEL, the
/// C1 controls, the bidirectional overrides and isolates, U+2028 and U+2029); a JSON reader
/// reads them back unchanged.
///
/// The caller keeps the shape right: key() before every value inside an object, none inside an
/// array, every begin matched by its end. Numbers that JSON cannot hold (NaN, infinities) are
/// written as null.
class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
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

    /// `text` as a JSON string literal, quotes included.
    static void appendString(std::string& out, std::string_view text);

  private:
    void separate();

    std::string& out_;
    std::vector<bool> first_;  // per open container: nothing written in it yet
    bool afterKey_ = false;
};

}  // namespace wren
