#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "core/transcripts/byte_source.h"
#include "core/transcripts/transcript_readers.h"

namespace wren::fuzz {

/// One input as the bytes of a transcript, held in memory: the readers run the same code over
/// it as over a file, without the file system's cost, so a target runs thousands of inputs a
/// second.
///
/// The first input byte picks a layout, so that small inputs still meet the window edges:
/// 0 — the rest of the input is the transcript;
/// 1 — NUL bytes follow, so many that the last 512 KiB begin inside the input;
/// 2 — more of them, so that the 3.5 MiB before the last 512 KiB begin inside the input.
/// The next two bytes choose where inside the input that edge falls.
class ReaderInput final : public ByteSource {
  public:
    ReaderInput(const std::uint8_t* data, std::size_t size) {
        std::size_t skip = size >= 1 ? 1 : 0;
        if (size >= 3 && data[0] % 3 != 0) {
            const std::size_t bodySize = size - 3;
            const std::size_t edge = bodySize == 0 ? 0 : (data[1] << 8 | data[2]) % bodySize;
            const std::uint64_t behind =
                data[0] % 3 == 1 ? SessionDiscovery::kRecentBytes
                                 : SessionDiscovery::kRecentBytes + SessionDiscovery::kOlderBytes;
            // The transcript ends `behind` bytes after the edge.
            zeros_ = behind - (bodySize - edge);
            skip = 3;
        }
        body_ = std::string_view(reinterpret_cast<const char*>(data) + skip, size - skip);
    }

    std::optional<std::uint64_t> size() const override { return body_.size() + zeros_; }

    std::size_t readAt(std::uint64_t offset, char* out, std::size_t length) const override {
        const std::uint64_t total = body_.size() + zeros_;
        if (offset >= total) return 0;
        const std::size_t n = std::min<std::uint64_t>(length, total - offset);
        std::size_t done = 0;
        if (offset < body_.size()) {
            done = std::min<std::uint64_t>(n, body_.size() - offset);
            std::memcpy(out, body_.data() + offset, done);
        }
        std::memset(out + done, 0, n - done);
        return n;
    }

  private:
    std::string_view body_;
    std::uint64_t zeros_ = 0;
};

/// What every summary promises, whatever the file held.
inline void checkSummary(const SessionSummary& s, std::string_view prefix) {
    require(!s.nativeID.empty(), "a session has an id");
    require(s.id == std::string(prefix) + s.nativeID,
            "the id is the agent prefix and the native id");
    require(!s.project.empty(), "a project is a name or a dash");
    require(s.turns >= 0, "turns are counted up from zero");
    require(
        !s.lastUserMessage || (!s.lastUserMessage->empty() && s.lastUserMessage->front() != '<'),
        "a shown message is text, not markup");
    std::int64_t segmentSum = 0;
    for (const auto& segment : s.segments) {
        require(segment.tokens > 0, "only segments above zero are kept");
        require(!__builtin_add_overflow(segmentSum, segment.tokens, &segmentSum),
                "segments never overflow");
    }
    require(s.segments.empty() || s.reportedTokens, "segments need reported tokens");
    // Independent rounding may give one token more; beyond 2^53 doubles lose whole tokens.
    require(s.segments.empty() || *s.reportedTokens > (std::int64_t{1} << 53) ||
                segmentSum <= *s.reportedTokens + 1,
            "the segments share out the reported tokens");
    (void)s.totalTokens();
    (void)s.scoreLabel();
}

}  // namespace wren::fuzz
