#pragma once

#include <string>
#include <string_view>

namespace wren::PrintedText {

/// The one way text from a transcript or a user is printed, on a terminal line or inside a JSON
/// string. Whatever the bytes, the result is valid UTF-8 (each ill-formed piece becomes one
/// U+FFFD) and carries nothing a terminal would obey or that would reorder or break its line:
/// the C0 controls, DEL, the C1 controls (which some terminals take for escape sequences), the
/// bidirectional embeddings, overrides and isolates, and U+2028 and U+2029 are all escaped.

/// `text` made safe for one terminal line: \t, \n, \r; \xHH for the other C0 controls and DEL;
/// \uHHHH for the rest; a backslash becomes "\\" so every escape reads back one way.
std::string forTerminal(std::string_view text);

/// Appends `text` as a JSON string literal, quotes included: \" \\ \n \r \t, \uHHHH for
/// everything else escaped. A JSON reader reads the text back unchanged.
void appendJsonString(std::string& out, std::string_view text);

}  // namespace wren::PrintedText
