#pragma once

#include <filesystem>

namespace wren {

/// The account's home directory from the password database (not $HOME, which a caller may have
/// changed), read once. Empty when the account has none.
const std::filesystem::path& userHome();

/// A marker path with a leading "~/" (or a lone "~") resolved against userHome().
std::filesystem::path expandTilde(const std::filesystem::path& path);

}  // namespace wren
