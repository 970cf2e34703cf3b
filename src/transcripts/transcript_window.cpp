#include "transcripts/transcript_window.h"

#include <cstring>

namespace wren {

PaddedBuffer::PaddedBuffer(std::size_t size)
    // The padding is zeroed so the parser's look-ahead never reads indeterminate bytes.
    : bytes_(new char[size + kPadding]), size_(size) {
    std::memset(bytes_.get() + size, 0, kPadding);
}

void PaddedBuffer::shrink(std::size_t size) {
    if (size >= size_) return;
    size_ = size;
    std::memset(bytes_.get() + size, 0, kPadding);
}

}  // namespace wren
