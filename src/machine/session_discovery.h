#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "transcripts/instant.h"
#include "transcripts/session_summary.h"
#include "transcripts/transcript_readers.h"

namespace wren::SessionDiscovery {

/// Regular, non-hidden "*.jsonl" files below `roots` (never through symlinks) modified at or after
/// now − 24 h, roots in order.
std::vector<std::filesystem::path> candidates(const std::vector<std::filesystem::path>& roots,
                                              Instant now);

/// The newest sessions of both agents under their usual roots: every candidate read in parallel,
/// merged by id (the later activity wins; on a tie the first met), newest first, at most `limit`.
std::vector<SessionSummary> discover(std::size_t limit);

/// The same over given roots and clock, for tests and tools.
std::vector<SessionSummary> discover(std::size_t limit,
                                     const std::vector<std::filesystem::path>& codexRoots,
                                     const std::vector<std::filesystem::path>& claudeRoots,
                                     Instant now);

}  // namespace wren::SessionDiscovery
