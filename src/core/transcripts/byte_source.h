#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace wren {

/// Where a transcript's bytes come from: an open file (RegularFile) or bytes already in memory
/// (MemorySource, for tests and fuzzing). The readers run the same code over either, so what
/// is tested in memory is what runs on files.
class ByteSource {
  public:
    virtual ~ByteSource() = default;

    /// The current size, or nothing when it cannot be learnt.
    virtual std::optional<std::uint64_t> size() const = 0;

    /// Reads up to `length` bytes at `offset` into `out`; returns how many arrived. Fewer than
    /// asked means the source ended (a file may have shrunk since its size was taken) or failed.
    virtual std::size_t readAt(std::uint64_t offset, char* out, std::size_t length) const = 0;
};

/// Bytes in memory, viewed, not copied: they must outlive the source.
class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}

    std::optional<std::uint64_t> size() const override { return bytes_.size(); }

    std::size_t readAt(std::uint64_t offset, char* out, std::size_t length) const override {
        if (offset >= bytes_.size()) return 0;
        const std::size_t n = std::min<std::uint64_t>(length, bytes_.size() - offset);
        std::memcpy(out, bytes_.data() + offset, n);
        return n;
    }

  private:
    std::string_view bytes_;
};

}  // namespace wren
