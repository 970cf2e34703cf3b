#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "core/transcripts/instant.h"
#include "core/transcripts/session_summary.h"
#include "core/transcripts/transcript_readers.h"

namespace wren::SessionDiscovery {

/// How far below a root the walk descends: directories up to this many levels down are listed.
/// The agents nest three or four levels deep; the bound keeps a pathological tree from using up
/// file descriptors (one is open per level) or time.
inline constexpr int kMaxWalkDepth = 64;

/// Regular, non-hidden "*.jsonl" files below `roots` (never through symlinks) modified at or after
/// now − 24 h, roots in order. A root may itself be a symlink; nothing below it is followed.
/// A missing or unreadable root or directory contributes nothing. Records the "enumerate" span.
std::vector<std::filesystem::path> candidates(const std::vector<std::filesystem::path>& roots,
                                              Instant now);

/// The newest sessions of both agents under their usual roots: every candidate read in parallel,
/// merged by id (the later activity wins; on a tie the first met), newest first, at most `limit`.
/// A candidate whose content is unchanged since the last pass (same file, size, modification
/// and change times) is not read again: its summary from then is used.
std::vector<SessionSummary> discover(std::size_t limit);

/// How many files the last pass actually read (the others were unchanged).
std::size_t filesReadInLastPass();

/// The same over given roots and clock, for tests and tools.
std::vector<SessionSummary> discover(std::size_t limit,
                                     const std::vector<std::filesystem::path>& codexRoots,
                                     const std::vector<std::filesystem::path>& claudeRoots,
                                     Instant now);

}  // namespace wren::SessionDiscovery
