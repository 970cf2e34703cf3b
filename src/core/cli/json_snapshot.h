#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/discovery/machine_snapshot.h"
#include "core/transcripts/instant.h"
#include "core/sessions/local_calendar.h"

namespace wren::JsonSnapshot {

/// `wrenisland --json`: the machine snapshot once, as one JSON document on standard output, for
/// scripts and status bars. The shape, member by member:
///
///   sessions    up to 20, newest first, as the dump lists them: id, agent ("Claude"/"Codex"),
///               nativeID, project, workingDirectory (or null), lastActivity (ISO 8601 UTC with
///               milliseconds), lastUserMessage (or null), turns, contextWindow (or null),
///               reportedTokens (or null), totalTokens, usefulPct (or null), scoreLabel,
///               segments [{id, label, tokens}], and state ("working", "finished" or "idle")
///   today       tokens, workedSeconds, activeSessions: the context widget's rules over those
///               sessions, with the system clock and time zone
///   rateLimits  claude, codex: null when nothing is known, else {usedPercent (as recorded),
///               windowMinutes, resetsAt} of the agent's one window (each null when it has
///               none) and windows [{usedPercent, windowMinutes, resetsAt, source ("transcript"
///               or "cache"), asOf (or null)}]: every window still current
///   installed   claude, codex, wrenmem: booleans

/// How many sessions the document lists, as many as the dump.
inline constexpr std::size_t kSessionLimit = 20;

/// The document for a snapshot seen at `now`, "today" being `calendar`'s day; no line feed.
std::string document(const MachineSnapshot& snapshot, Instant now, const LocalCalendar& calendar);

/// The note for standard error when no session turned up: where discovery looked, or that it
/// had nowhere to look.
std::string nothingFoundNote(const std::vector<std::filesystem::path>& claudeRoots,
                             const std::vector<std::filesystem::path>& codexRoots);

/// Reads this machine's snapshot, writes its document and a line feed to `out`, and the note
/// to `err` when there is no session; with WRENISLAND_PROFILE=1 the timing report goes to
/// standard error under "snapshot". Returns 0, or 1 when `out` could not be written.
int run(std::FILE* out, std::FILE* err);

}  // namespace wren::JsonSnapshot
