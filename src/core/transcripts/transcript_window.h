#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace wren {

/// Bytes read from a transcript, with room behind them for the JSON parser's look-ahead, so
/// every line can be parsed in place without a copy. The zeroed padding always follows the
/// current size. A buffer can be reused: prepare() keeps the memory it has when that is enough.
class PaddedBuffer {
  public:
    static constexpr std::size_t kPadding = 64;  // simdjson::SIMDJSON_PADDING

    PaddedBuffer() = default;
    explicit PaddedBuffer(std::size_t size);

    char* data() { return bytes_.get(); }
    const char* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    /// Forgets the bytes past `size` (which must not grow the buffer); the padding stays.
    void shrink(std::size_t size);
    std::string_view view() const { return {bytes_.get(), size_}; }

    /// Makes the buffer `size` bytes long for new contents, allocating only when its memory is
    /// too small (the old bytes are then gone). The bytes before `size` are unspecified until
    /// written; the padding behind them is zeroed.
    void prepare(std::size_t size);
    /// How many bytes fit without a new allocation.
    std::size_t capacity() const { return capacity_; }
    /// How many times this buffer has allocated memory, for checking that reuse works.
    std::size_t allocations() const { return allocations_; }
    /// Gives the memory back; the buffer is empty afterwards.
    void release();

  private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t allocations_ = 0;
};

/// A half-open byte range [begin, end) of one line inside a window, without its line feed.
struct LineRange {
    std::size_t begin = 0;
    std::size_t end = 0;

    friend bool operator==(const LineRange&, const LineRange&) = default;
};

/// The head or tail of a transcript and the whole lines in it, in file order. Never empty data;
/// lines are never empty ranges. Move-only: the bytes are owned once.
struct TranscriptWindow {
    PaddedBuffer data;
    std::vector<LineRange> lines;

    std::string_view line(std::size_t index) const {
        const LineRange r = lines[index];
        return {data.data() + r.begin, r.end - r.begin};
    }
};

}  // namespace wren
