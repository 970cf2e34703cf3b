#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "transcripts/transcript_readers.h"

namespace wren::fuzz {

/// One transcript file per fuzzing process, rewritten for every input, so the readers see real
/// files: a private directory under the temporary folder holds it under a UUID-bearing name.
///
/// The first input byte picks a layout, so that small inputs still meet the window edges:
/// 0 — the rest of the input is the file;
/// 1 — a NUL tail (a file hole) follows, sized so the last 512 KiB begin inside the input;
/// 2 — a longer hole, so the 3.5 MiB before the last 512 KiB begin inside the input.
/// The next two bytes choose where inside the input that edge falls.
class ReaderFile {
  public:
    explicit ReaderFile(std::string_view fileName) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "wren-fuzz-XXXXXX").string();
        require(::mkdtemp(pattern.data()) != nullptr, "a private temporary directory");
        directory_ = pattern;
        path_ = directory_ / fileName;
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        require(fd_ >= 0, "the transcript file opens");
        std::atexit(&ReaderFile::removeAll);
        scratch() = directory_;
    }

    const std::filesystem::path& path() const { return path_; }

    /// Rewrites the file from one input as described above.
    void write(const std::uint8_t* data, std::size_t size) {
        std::uint64_t tail = 0;
        std::size_t skip = 0;
        if (size >= 3 && data[0] % 3 != 0) {
            const std::size_t bodySize = size - 3;
            const std::size_t edge = bodySize == 0 ? 0 : (data[1] << 8 | data[2]) % bodySize;
            const std::uint64_t behind =
                data[0] % 3 == 1 ? SessionDiscovery::kRecentBytes
                                 : SessionDiscovery::kRecentBytes + SessionDiscovery::kOlderBytes;
            // The file ends `behind` bytes after the edge.
            tail = behind - (bodySize - edge);
            skip = 3;
        } else if (size >= 1) {
            skip = 1;
        }
        const std::size_t bodySize = size - skip;
        require(::ftruncate(fd_, 0) == 0, "the file empties");
        std::size_t done = 0;
        while (done < bodySize) {
            const ssize_t n =
                ::pwrite(fd_, data + skip + done, bodySize - done, static_cast<off_t>(done));
            require(n > 0, "the input is written");
            done += static_cast<std::size_t>(n);
        }
        require(::ftruncate(fd_, static_cast<off_t>(bodySize + tail)) == 0, "the hole is made");
    }

  private:
    static std::filesystem::path& scratch() {
        static std::filesystem::path path;
        return path;
    }
    static void removeAll() {
        std::error_code ignored;
        std::filesystem::remove_all(scratch(), ignored);
    }

    std::filesystem::path directory_;
    std::filesystem::path path_;
    int fd_ = -1;
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
