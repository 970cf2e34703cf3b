#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "transcripts/transcript_window.h"

namespace wren::JSONLReader {

/// Reads a bounded window of a JSON Lines file and keeps only its whole lines. One read per
/// call, of at most the budget; no state, so any number of threads may read different files.

/// At most the first `bytes` bytes; the last line is dropped when the file is larger than that.
std::optional<TranscriptWindow> head(const std::filesystem::path& file, std::uint64_t bytes);

/// At most `bytes` bytes ending `skippingLast` bytes before the end of the file; the first line
/// is dropped when the window does not start the file, the last when it does not end it.
std::optional<TranscriptWindow> tail(const std::filesystem::path& file, std::uint64_t bytes,
                                     std::uint64_t skippingLast);

/// The window over bytes already read; none for empty data.
std::optional<TranscriptWindow> window(PaddedBuffer data, bool dropFirst, bool dropLast);

/// The non-empty lines of `data`, each without its line feed.
std::vector<LineRange> lineRanges(std::string_view data, bool dropFirst, bool dropLast);

}  // namespace wren::JSONLReader
