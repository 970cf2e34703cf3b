#include "core/transcripts/transcript_window.h"

#include <cstring>

namespace wren {

PaddedBuffer::PaddedBuffer(std::size_t size)
    // The padding is zeroed so the parser's look-ahead never reads indeterminate bytes.
    : bytes_(new char[size + kPadding]), size_(size), capacity_(size), allocations_(1) {
    std::memset(bytes_.get() + size, 0, kPadding);
}

void PaddedBuffer::prepare(std::size_t size) {
    if (size > capacity_ || !bytes_) {
        // The old memory goes before the new arrives, so the two are never held at once; if
        // the allocation fails, the buffer is left empty.
        release();
        bytes_.reset(new char[size + kPadding]);
        capacity_ = size;
        ++allocations_;
    }
    size_ = size;
    std::memset(bytes_.get() + size, 0, kPadding);
}

void PaddedBuffer::release() {
    bytes_.reset();
    size_ = 0;
    capacity_ = 0;
}

void PaddedBuffer::shrink(std::size_t size) {
    if (size >= size_) return;
    size_ = size;
    std::memset(bytes_.get() + size, 0, kPadding);
}

}  // namespace wren
