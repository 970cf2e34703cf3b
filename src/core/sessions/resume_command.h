#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/transcripts/session_summary.h"

namespace wren::SessionOpener {

/// The agent's command-line program: "claude" or "codex".
std::string_view agentProgram(Agent agent);

/// A program to start without a shell: its path, argument vector and working directory.
struct Launch {
    std::string program;
    std::vector<std::string> arguments;
    std::string workingDirectory;

    friend bool operator==(const Launch&, const Launch&) = default;
};

/// The terminal program: $TERMINAL when set and not empty (taken verbatim as one program name),
/// else the Debian alternative "x-terminal-emulator".
std::string terminalProgram(const char* terminalVariable);

/// `terminal -e <agent> --resume <id>` (Claude) or `terminal -e <agent> resume <id>` (Codex) in
/// the session's working directory, where `agent` is the resolved agent program. Absent unless
/// the native id is a UUID (so it can never read as an option or carry shell syntax) and the
/// working directory is an absolute path. Whether that directory still exists is the caller's
/// check, at launch time.
std::optional<Launch> terminalResume(const SessionSummary& session, std::string_view terminal,
                                     std::string_view agent);

}  // namespace wren::SessionOpener
