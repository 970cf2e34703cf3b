#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "core/transcripts/byte_source.h"

namespace wren {

/// A read-only handle on a regular file, closed on every path.
///
/// Opening never blocks and never hands out anything but a regular file: FIFOs, sockets,
/// devices and directories named like transcripts are refused, so a strange entry in an agent's
/// folder costs one failed open, not a hung reader.
class RegularFile final : public ByteSource {
  public:
    static std::optional<RegularFile> open(const std::filesystem::path& path);

    RegularFile(RegularFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile() override;

    std::optional<std::uint64_t> size() const override;
    std::size_t readAt(std::uint64_t offset, char* out, std::size_t length) const override;

  private:
    explicit RegularFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace wren
