#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "core/transcripts/byte_source.h"
#include "core/transcripts/transcript_window.h"

namespace wren::JSONLReader {

/// Reads a bounded window of a JSON Lines file and keeps only its whole lines. One read per
/// call, of at most the budget; no state, so any number of threads may read different files.

/// At most the first `bytes` bytes; the last line is dropped when the file is larger than that.
std::optional<TranscriptWindow> head(const std::filesystem::path& file, std::uint64_t bytes);

/// At most `bytes` bytes ending `skippingLast` bytes before the end of the file; the first line
/// is dropped when the window does not start the file, the last when it does not end it.
std::optional<TranscriptWindow> tail(const std::filesystem::path& file, std::uint64_t bytes,
                                     std::uint64_t skippingLast);

/// The same two reads on a source that is already open, so a reader that needs both a head and
/// a tail opens the file once.
std::optional<TranscriptWindow> head(const ByteSource& source, std::uint64_t bytes);
std::optional<TranscriptWindow> tail(const ByteSource& source, std::uint64_t bytes,
                                     std::uint64_t skippingLast);

/// Whether a window's first and last lines may be pieces of lines cut by its edges.
struct Cuts {
    bool dropFirst = false;
    bool dropLast = false;
};

/// The head's or tail's bytes read into `into`, which is reused when it is large enough (see
/// PaddedBuffer::prepare), and their cuts; nothing when no byte arrived. The readers scan these
/// bytes lazily with ForwardLines or ReverseLines instead of splitting them all first: they
/// mostly stop after a few lines, and a full split would be a second pass over every byte.
std::optional<Cuts> readHead(const ByteSource& source, std::uint64_t bytes, PaddedBuffer& into);
std::optional<Cuts> readTail(const ByteSource& source, std::uint64_t bytes,
                             std::uint64_t skippingLast, PaddedBuffer& into);
/// The same with the source's size already known (nothing: unknown), so a reader that reads
/// several windows of one file asks for its size once and sees one consistent file.
std::optional<Cuts> readHead(const ByteSource& source, std::optional<std::uint64_t> size,
                             std::uint64_t bytes, PaddedBuffer& into);
std::optional<Cuts> readTail(const ByteSource& source, std::optional<std::uint64_t> size,
                             std::uint64_t bytes, std::uint64_t skippingLast, PaddedBuffer& into);

/// The lines of lineRanges(data, dropFirst, dropLast) from the first to the last, each found
/// only when asked for.
class ForwardLines {
  public:
    ForwardLines(std::string_view data, Cuts cuts)
        : data_(data), dropFirst_(cuts.dropFirst), dropLast_(cuts.dropLast) {}

    /// The next newer line; nothing once the last is passed.
    std::optional<LineRange> next();

  private:
    std::string_view data_;
    std::size_t cursor_ = 0;
    bool dropFirst_;
    bool dropLast_;
};

/// The lines of lineRanges(data, dropFirst, dropLast) from the last to the first, each found
/// only when asked for: the bytes before where a scan stops are never walked.
class ReverseLines {
  public:
    ReverseLines(std::string_view data, bool dropFirst, bool dropLast);
    ReverseLines(std::string_view data, Cuts cuts)
        : ReverseLines(data, cuts.dropFirst, cuts.dropLast) {}

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
