#pragma once

#include <filesystem>
#include <functional>
#include <optional>

namespace wren {

/// The user's home directory, read once: $HOME when it is set and absolute (the agents write
/// under it, so under `sudo -E`, in containers and in tests it is where their files are), else
/// the account database's entry. Empty when neither gives an absolute path: a relative one
/// would name a different place from every current directory.
const std::filesystem::path& userHome();

/// The rule behind userHome(): `variable` is $HOME's value (null when unset); `account` asks the
/// account database, and is asked only when the variable does not settle it.
std::filesystem::path chooseHome(const char* variable,
                                 const std::function<std::filesystem::path()>& account);
/// The account database's home of the current user, or empty.
std::filesystem::path accountHome();

/// A path with a leading "~/" (or a lone "~") resolved against userHome(); other paths as they
/// are. Nothing for a "~" path when there is no home: it must not become a relative path.
std::optional<std::filesystem::path> expandTilde(const std::filesystem::path& path);
/// The same against a given home (empty: none).
std::optional<std::filesystem::path> expandTilde(const std::filesystem::path& path,
                                                 const std::filesystem::path& home);

}  // namespace wren
