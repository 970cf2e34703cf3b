#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "transcripts/regular_file.h"
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

/// The same two reads on a file that is already open, so a reader that needs both a head and a
/// tail opens the file once.
std::optional<TranscriptWindow> head(const RegularFile& file, std::uint64_t bytes);
std::optional<TranscriptWindow> tail(const RegularFile& file, std::uint64_t bytes,
                                     std::uint64_t skippingLast);

/// A tail's bytes and its cut flags, not yet split into lines. The readers scan a tail from
/// its newest line and mostly stop after a few, so splitting all of it first would be a second
/// pass over every byte for lines nobody looks at; ReverseLines finds them on demand instead.
struct TailBytes {
    PaddedBuffer data;
    bool dropFirst = false;
    bool dropLast = false;
};
std::optional<TailBytes> tailBytes(const RegularFile& file, std::uint64_t bytes,
                                   std::uint64_t skippingLast);

/// The lines of lineRanges(data, dropFirst, dropLast) from the last to the first, each found
/// only when asked for: the bytes before where a scan stops are never walked.
class ReverseLines {
public:
    ReverseLines(std::string_view data, bool dropFirst, bool dropLast);
    explicit ReverseLines(const TailBytes& tail)
        : ReverseLines(tail.data.view(), tail.dropFirst, tail.dropLast) {}

    /// The next older line; nothing once the first is passed.
    std::optional<LineRange> next();

private:
    std::string_view data_;
    std::size_t end_;  // lines left to yield lie in [0, end_)
    bool dropFirst_;
};

/// The window over bytes already read; none for empty data.
std::optional<TranscriptWindow> window(PaddedBuffer data, bool dropFirst, bool dropLast);

/// The non-empty lines of `data`, each without its line feed.
std::vector<LineRange> lineRanges(std::string_view data, bool dropFirst, bool dropLast);

}  // namespace wren::JSONLReader
