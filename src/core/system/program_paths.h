#pragma once

#include <filesystem>

namespace wren::ProgramPaths {

/// Where the two programs find each other: the `wrenisland` command, which users and desktop
/// entries start, and the toolkit program it turns into. Installed, they lie in the bin and
/// libexec folders chosen when the project was configured; in a build tree the toolkit program
/// lies in libexec/ beside the command. Both names are "wrenisland".

/// The libexec folder as seen from the bin folder, and the other way round ("../libexec" and
/// "../bin" for the usual folders).
std::filesystem::path libexecFromBin();
std::filesystem::path binFromLibexec();

/// The toolkit program for the command at `command`: beside it in a build tree, else where the
/// install puts it.
std::filesystem::path island(const std::filesystem::path& command);

/// The command for the toolkit program at `island`, the same way round; `island` itself when
/// no command is found (a toolkit program started on its own still starts).
std::filesystem::path command(const std::filesystem::path& island);

}  // namespace wren::ProgramPaths
