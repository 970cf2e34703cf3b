#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wren::CommandLine {

/// The options of `wrenisland`, parsed before any toolkit object exists so that none of them
/// needs a display. The toolkit's own options (-platform, -display, -style, …) are not ours:
/// they are handed on, in order, to the island.

enum class Action {
    island,   // no option of ours: start the island
    help,     // --help, -h: usage, options, environment variables
    version,  // --version: "WrenIsland X.Y.Z"
    json,     // --json: the machine snapshot as one JSON document
    watch,    // --watch: that document again each time it changes, until stopped
    dump,     // --dump: the session list, as WRENISLAND_DUMP=1
    invalid,  // something we do not understand: one line on standard error, status 2
};

struct Parsed {
    Action action = Action::island;
    std::string error;             // for `invalid`: the line to print
    std::vector<char*> remaining;  // the program name and the toolkit's arguments, then null
    int remainingCount() const { return static_cast<int>(remaining.size()) - 1; }
};

/// Sorts `argv` into our action and what is left for the toolkit. --help and --version win
/// over the others; --json and --dump exclude each other. An argument that is neither ours nor
/// one of the toolkit's is invalid, named in the error line with a pointer to --help. --watch
/// implies --json (both together mean --watch).
Parsed parse(int argc, char** argv);

/// "WrenIsland X.Y.Z".
std::string versionLine();

/// The --help text: usage, every option and every environment variable, one line each.
std::string usage();

/// Carries out every action but the island, writing to `out` and `err`; returns the process's
/// exit status, or nothing when the island should start. WRENISLAND_DUMP (its value passed in,
/// null when unset) asks for the dump as --dump does.
std::optional<int> runWithoutDisplay(const Parsed& parsed, const char* dumpVariable, std::FILE* out,
                                     std::FILE* err);

}  // namespace wren::CommandLine
