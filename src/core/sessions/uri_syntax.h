#pragma once

#include <string_view>

namespace wren {

/// Whether `text` is an absolute URI by RFC 3986 (section 4.3): scheme ":" hier-part, optional
/// "?" query, no fragment. Only ASCII in the grammar's sets and well-formed "%XX" escapes pass;
/// a space, "#", "<", a double quote, a control character or any non-ASCII byte fails.
bool isAbsoluteUri(std::string_view text);

}  // namespace wren
