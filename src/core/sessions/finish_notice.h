#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/transcripts/instant.h"
#include "core/transcripts/session_summary.h"

namespace wren {

/// Which sessions just finished, between one snapshot and the next: those that were working
/// in the previous one and are finished in the new one. Remembers only the last snapshot's
/// working sessions, so the first snapshot after start-up announces nothing.
class FinishWatch {
  public:
    /// The sessions of `sessions` (seen at `now`) that were working at the previous update and
    /// are finished now, in the list's order.
    std::vector<SessionSummary> update(const std::vector<SessionSummary>& sessions, Instant now);

  private:
    std::vector<std::string> working_;  // ids
};

/// The text of one desktop notification about a finished session.
struct FinishNotice {
    std::string title;  // "Claude finished · website"
    std::string body;   // the last user message, markup characters escaped; may be empty
};
/// The notice for a session. Notification servers may read the body as markup, so its "<",
/// ">" and "&" are escaped; the title is plain text everywhere.
FinishNotice finishNotice(const SessionSummary& session);

/// `text` with "&", "<" and ">" as "&amp;", "&lt;" and "&gt;".
std::string escapeMarkup(std::string_view text);

/// Sessions active within the last two hours (inclusive) whose turn has finished: those that
/// wait for the user.
std::int64_t waitingCount(const std::vector<SessionSummary>& sessions, Instant now);

}  // namespace wren
