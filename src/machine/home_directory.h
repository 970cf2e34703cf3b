#pragma once

#include <filesystem>
#include <optional>

namespace wren {

/// The account's home directory from the password database (not $HOME, which a caller may have
/// changed), read once. Empty when the account has none, or only a relative one, which would
/// name a different place from every current directory.
const std::filesystem::path& userHome();

/// A path with a leading "~/" (or a lone "~") resolved against userHome(); other paths as they
/// are. Nothing for a "~" path when there is no home: it must not become a relative path.
std::optional<std::filesystem::path> expandTilde(const std::filesystem::path& path);
/// The same against a given home (empty: none).
std::optional<std::filesystem::path> expandTilde(const std::filesystem::path& path,
                                                 const std::filesystem::path& home);

}  // namespace wren
