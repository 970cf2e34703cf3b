// Line splitting of arbitrary bytes, with every combination of the two cut flags.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz_checks.h"
#include "core/transcripts/jsonl_reader.h"

using wren::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto all = wren::JSONLReader::lineRanges(bytes, false, false);

    std::size_t lineBytes = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto r = all[i];
        require(r.begin < r.end && r.end <= size, "a line is a non-empty range inside the data");
        require(i == 0 || all[i - 1].end < r.begin, "lines are in order and apart");
        require(std::memchr(data + r.begin, '\n', r.end - r.begin) == nullptr,
                "a line holds no line feed");
        require(r.end == size || data[r.end] == '\n', "a line ends at a line feed or the end");
        lineBytes += r.end - r.begin;
    }
    const auto feeds = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    require(lineBytes + feeds == size, "every byte but the line feeds is in some line");

    for (const bool dropFirst : {false, true}) {
        for (const bool dropLast : {false, true}) {
            auto lines = wren::JSONLReader::lineRanges(bytes, dropFirst, dropLast);
            // Dropping is the only difference from the full split.
            std::size_t from = dropFirst && !all.empty() ? 1 : 0;
            std::size_t to = all.size();
            if (dropLast && to > from && all.back().end == size &&
                (size == 0 || data[size - 1] != '\n')) {
                --to;
            }
            require(lines.size() == (to > from ? to - from : 0), "only the cut lines are dropped");
            for (std::size_t i = 0; i < lines.size(); ++i) {
                require(lines[i] == all[from + i], "the kept lines are the full split's");
            }

            // The lazy walk from the end that the readers use must agree with the split.
            wren::JSONLReader::ReverseLines reverse(bytes, dropFirst, dropLast);
            for (std::size_t i = lines.size(); i-- > 0;) {
                const auto line = reverse.next();
                require(line && *line == lines[i], "reverse lines are the split's, newest first");
            }
            require(!reverse.next(), "reverse lines end where the split begins");

            wren::PaddedBuffer buffer(size);
            if (size > 0) std::memcpy(buffer.data(), data, size);
            const auto window = wren::JSONLReader::window(std::move(buffer), dropFirst, dropLast);
            require(window.has_value() == (size > 0), "a window exactly when there are bytes");
            if (!window) continue;
            require(window->lines == lines, "a window's lines are lineRanges of its bytes");
            for (std::size_t i = 0; i < window->lines.size(); ++i) {
                const auto line = window->line(i);
                require(line.data() >= window->data.data() &&
                            line.data() + line.size() <= window->data.data() + size,
                        "a line views the window's bytes");
            }
        }
    }
    return 0;
}
