#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wren {

/// Writes `text` to `path` whole or not at all: into a temporary file beside it (mode 0644),
/// synced, renamed over it, and the folder synced so the rename survives a crash. Creates the
/// folder if needed. An error message naming the path when it could not.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               std::string_view text);

}  // namespace wren
