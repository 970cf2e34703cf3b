#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/transcripts/session_summary.h"

namespace wren::Dump {

/// The diagnostic dump: the discovered sessions, one line each, on standard output. It runs
/// before any toolkit starts, so it works without a display.

/// The rule for WRENISLAND_DUMP (null when unset): exactly "1" asks for the dump.
bool requested(const char* value);

/// "<agent>\t used=<tokens|nil>\t window=<window|nil>\t <project>\t <nativeID>\n", the fields
/// that come from a transcript escaped for the terminal.
std::string line(const SessionSummary& session);

/// How many sessions the dump lists.
inline constexpr std::size_t kLimit = 20;

/// Discovers up to kLimit sessions, writes their lines to `out`, flushes the profiler under
/// "discovery". Returns the exit status: 0, or 1 when `out` could not be written.
int run(std::FILE* out);

}  // namespace wren::Dump
