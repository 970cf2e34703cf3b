#include "core/transcripts/jsonl_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/transcripts/regular_file.h"

namespace wren {

namespace JSONLReader {
namespace {

// Reads [start, end) of a source into `into`; a short read (the file shrank) keeps what arrived.
bool readRange(const ByteSource& source, std::uint64_t start, std::uint64_t end,
               PaddedBuffer& into) {
    const std::uint64_t length = end - start;
    if (length == 0 || length > std::numeric_limits<std::size_t>::max() - PaddedBuffer::kPadding) {
        return false;
    }
    into.prepare(static_cast<std::size_t>(length));
    const std::size_t got = source.readAt(start, into.data(), into.size());
    into.shrink(got);
    return got != 0;
}

}  // namespace

std::optional<Cuts> readHead(const ByteSource& source, std::uint64_t bytes, PaddedBuffer& into) {
    return readHead(source, source.size(), bytes, into);
}

std::optional<Cuts> readHead(const ByteSource& source, std::optional<std::uint64_t> knownSize,
                             std::uint64_t bytes, PaddedBuffer& into) {
    const std::uint64_t size = knownSize.value_or(0);
    if (!readRange(source, 0, std::min(size, bytes), into)) return std::nullopt;
    return Cuts{false, bytes < size};
}

std::optional<Cuts> readTail(const ByteSource& source, std::uint64_t bytes,
                             std::uint64_t skippingLast, PaddedBuffer& into) {
    return readTail(source, source.size(), bytes, skippingLast, into);
}

std::optional<Cuts> readTail(const ByteSource& source, std::optional<std::uint64_t> size,
                             std::uint64_t bytes, std::uint64_t skippingLast, PaddedBuffer& into) {
    if (!size || skippingLast >= *size) return std::nullopt;
    const std::uint64_t end = *size - skippingLast;
    const std::uint64_t start = end <= bytes ? 0 : end - bytes;
    if (!readRange(source, start, end, into)) return std::nullopt;
    return Cuts{bytes < end, skippingLast != 0};
}

std::optional<TranscriptWindow> head(const std::filesystem::path& path, std::uint64_t bytes) {
    const auto file = RegularFile::open(path);
    if (!file) return std::nullopt;
    return head(*file, bytes);
}

std::optional<TranscriptWindow> head(const ByteSource& source, std::uint64_t bytes) {
    PaddedBuffer data;
    const auto cuts = readHead(source, bytes, data);
    if (!cuts) return std::nullopt;
    return window(std::move(data), cuts->dropFirst, cuts->dropLast);
}

std::optional<TranscriptWindow> tail(const std::filesystem::path& path, std::uint64_t bytes,
                                     std::uint64_t skippingLast) {
    const auto file = RegularFile::open(path);
    if (!file) return std::nullopt;
    return tail(*file, bytes, skippingLast);
}

std::optional<TranscriptWindow> tail(const ByteSource& source, std::uint64_t bytes,
                                     std::uint64_t skippingLast) {
    PaddedBuffer data;
    const auto cuts = readTail(source, bytes, skippingLast, data);
    if (!cuts) return std::nullopt;
    return window(std::move(data), cuts->dropFirst, cuts->dropLast);
}

std::optional<LineRange> ForwardLines::next() {
    while (cursor_ < data_.size()) {
        const std::size_t begin = cursor_;
        const void* feed = std::memchr(data_.data() + begin, '\n', data_.size() - begin);
        if (feed == nullptr) {
            cursor_ = data_.size();
            if (dropLast_) return std::nullopt;  // the piece after the last line feed is cut off
        } else {
            cursor_ = static_cast<std::size_t>(static_cast<const char*>(feed) - data_.data()) + 1;
        }
        const std::size_t end = feed == nullptr ? data_.size() : cursor_ - 1;
        if (begin == end) continue;  // empty lines are no lines
        if (dropFirst_) {
            dropFirst_ = false;  // the first line, which a cut start drops
            continue;
        }
        return LineRange{begin, end};
    }
    return std::nullopt;
}

ReverseLines::ReverseLines(std::string_view data, bool dropFirst, bool dropLast)
    : data_(data), end_(data.size()), dropFirst_(dropFirst) {
    if (dropLast && !data.empty()) {
        // The piece after the last line feed is cut off; without a line feed nothing is whole.
        const void* feed = ::memrchr(data.data(), '\n', data.size());
        end_ = feed == nullptr
                   ? 0
                   : static_cast<std::size_t>(static_cast<const char*>(feed) - data.data()) + 1;
    }
}

std::optional<LineRange> ReverseLines::next() {
    while (end_ > 0 && data_[end_ - 1] == '\n') --end_;
    if (end_ == 0) return std::nullopt;
    const void* feed = ::memrchr(data_.data(), '\n', end_);
    const std::size_t begin =
        feed == nullptr
            ? 0
            : static_cast<std::size_t>(static_cast<const char*>(feed) - data_.data()) + 1;
    const LineRange line{begin, end_};
    end_ = begin;
    while (end_ > 0 && data_[end_ - 1] == '\n') --end_;
    // Nothing but line feeds before it: the first line, which a cut start drops.
    if (dropFirst_ && end_ == 0) return std::nullopt;
    return line;
}

std::optional<TranscriptWindow> window(PaddedBuffer data, bool dropFirst, bool dropLast) {
    if (data.empty()) return std::nullopt;
    TranscriptWindow result;
    result.lines = lineRanges(data.view(), dropFirst, dropLast);
    result.data = std::move(data);
    return result;
}

std::vector<LineRange> lineRanges(std::string_view data, bool dropFirst, bool dropLast) {
    std::vector<LineRange> lines;
    lines.reserve(512);
    const char* const base = data.data();
    std::size_t cursor = 0;
    while (cursor < data.size()) {
        const void* found = std::memchr(base + cursor, '\n', data.size() - cursor);
        if (found == nullptr) {
            if (!dropLast) lines.push_back({cursor, data.size()});
            break;
        }
        const auto p = static_cast<std::size_t>(static_cast<const char*>(found) - base);
        if (cursor < p) lines.push_back({cursor, p});
        cursor = p + 1;
    }
    if (dropFirst && !lines.empty()) lines.erase(lines.begin());
    return lines;
}

}  // namespace JSONLReader
}  // namespace wren
