#pragma once

#include <optional>
#include <string>

#include "core/transcripts/session_summary.h"

namespace wren::SessionOpener {

/// The link that reopens `session` in its agent's app: "codex://threads/" or
/// "claude://resume?session=" followed by the native id, unescaped. Absent when the result is
/// not an absolute URI by RFC 3986 (see isAbsoluteUri), so a stray "#", space or quote in an
/// id can never send the app somewhere else.
std::optional<std::string> deepLink(const SessionSummary& session);

/// "claude" or "codex": the scheme of the agent's deep links.
std::string_view scheme(Agent agent);

}  // namespace wren::SessionOpener
