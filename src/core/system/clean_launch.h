#pragma once

#include <string>
#include <vector>

namespace wren::CleanLaunch {

/// Programs the island starts (a terminal with a resumed agent, xdg-open) must start as the user
/// would have started them, not with the island's own process state: the island blocks SIGINT
/// and SIGTERM for its quit handling, and under Wayland sets QT_QPA_PLATFORM=xcb for itself.

/// Sets `name` to `value` for the island, remembering the user's value (or its absence) for the
/// programs it starts. Call before any other thread runs, as for setenv.
void setForIsland(const char* name, const char* value);

/// `name=value` entries of `current` with each variable set through setForIsland put back as
/// the user had it. Pure: `current` is typically this process's environment.
std::vector<std::string> userEnvironment(const std::vector<std::string>& current);
/// The same for this process's environment now.
std::vector<std::string> userEnvironment();

/// For a forked child before exec: default action for every signal, nothing blocked.
/// Async-signal-safe.
void resetSignals();

/// Starts `program` (searched on PATH when it has no '/') with `arguments`, in `directory` (empty:
/// the island's), detached: in a session of its own, not the island's child, with default signal
/// handling, the user's environment and /dev/null as input. False when it did not start (not
/// found, not executable, no such directory, no process left). Never through a shell.
bool startDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory = {});

}  // namespace wren::CleanLaunch
