#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <simdjson.h>

namespace wren::MessageText {

/// Turns a user message's raw content into one line of display text, or nothing when no
/// human-typed text remains (reminders, slash-command tags, captured output, other markup).

/// Removes the reminder and command blocks (leftmost, shortest, case-sensitive tags), refuses
/// what is empty or still starts with "<", and folds every run of Unicode white space into one
/// space. One linear pass per tag; no regular expressions.
std::optional<std::string> clean(std::string_view text);

/// Claude content: a text, or a list of objects whose "text"-typed elements are joined.
std::optional<std::string> fromClaude(std::optional<simdjson::dom::element> content);

/// Codex content: a list of objects whose "text" members are joined, whatever their type.
std::optional<std::string> fromCodex(std::optional<simdjson::dom::element> content);

}  // namespace wren::MessageText
