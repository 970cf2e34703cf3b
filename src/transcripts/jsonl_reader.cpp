#include "transcripts/jsonl_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "transcripts/regular_file.h"

namespace wren {

namespace JSONLReader {
namespace {

// Reads [start, end) of an open file; a short read (the file shrank) keeps what arrived.
std::optional<PaddedBuffer> readRange(const RegularFile& file, std::uint64_t start,
                                      std::uint64_t end) {
    const std::uint64_t length = end - start;
    if (length == 0 || length > std::numeric_limits<std::size_t>::max() - PaddedBuffer::kPadding) {
        return std::nullopt;
    }
    PaddedBuffer buffer(static_cast<std::size_t>(length));
    const std::size_t got = file.readAt(start, buffer.data(), buffer.size());
    if (got == 0) return std::nullopt;
    buffer.shrink(got);
    return buffer;
}

}  // namespace

std::optional<TranscriptWindow> head(const std::filesystem::path& path, std::uint64_t bytes) {
    const auto file = RegularFile::open(path);
    if (!file) return std::nullopt;
    return head(*file, bytes);
}

std::optional<TranscriptWindow> head(const RegularFile& file, std::uint64_t bytes) {
    const std::uint64_t size = file.size().value_or(0);
    auto data = readRange(file, 0, std::min(size, bytes));
    if (!data) return std::nullopt;
    return window(std::move(*data), false, bytes < size);
}

std::optional<TranscriptWindow> tail(const std::filesystem::path& path, std::uint64_t bytes,
                                     std::uint64_t skippingLast) {
    const auto file = RegularFile::open(path);
    if (!file) return std::nullopt;
    return tail(*file, bytes, skippingLast);
}

std::optional<TranscriptWindow> tail(const RegularFile& file, std::uint64_t bytes,
                                     std::uint64_t skippingLast) {
    auto raw = tailBytes(file, bytes, skippingLast);
    if (!raw) return std::nullopt;
    return window(std::move(raw->data), raw->dropFirst, raw->dropLast);
}

std::optional<TailBytes> tailBytes(const RegularFile& file, std::uint64_t bytes,
                                   std::uint64_t skippingLast) {
    const auto size = file.size();
    if (!size || skippingLast >= *size) return std::nullopt;
    const std::uint64_t end = *size - skippingLast;
    const std::uint64_t start = end <= bytes ? 0 : end - bytes;
    auto data = readRange(file, start, end);
    if (!data) return std::nullopt;
    return TailBytes{std::move(*data), bytes < end, skippingLast != 0};
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
