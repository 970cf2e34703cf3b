#pragma once

#include <string_view>

#include "core/transcripts/session_summary.h"
#include "core/sessions/deep_link.h"
#include "core/sessions/resume_command.h"

namespace wren::SessionOpener {

/// Longest wait for an external query such as xdg-mime, so a stuck helper never hangs the GUI.
inline constexpr int kCommandTimeoutMs = 2000;

/// Reopens `session` and says whether anything will show it. Through the desktop when a handler
/// for the link's scheme is registered (xdg-mime), else by resuming it with the agent's own
/// command in a terminal (terminalResume) in its working directory, which must still exist.
/// False when there is no link, no handler and no way to resume. Programs are started detached
/// with an argument vector, never through a shell.
bool open(const SessionSummary& session);

/// Whether `xdg-mime query default x-scheme-handler/<scheme>` names a handler, within
/// kCommandTimeoutMs. False when xdg-mime is missing, fails or takes too long.
bool hasSchemeHandler(std::string_view scheme);

}  // namespace wren::SessionOpener
