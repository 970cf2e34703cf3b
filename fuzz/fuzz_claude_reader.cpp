// The Claude reader on arbitrary file contents.

#include "reader_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static wren::fuzz::ReaderFile file("0f8fad5b-d9cb-469f-a165-70867728950e.jsonl");
    file.write(data, size);
    if (const auto summary = wren::SessionDiscovery::readClaude(file.path())) {
        wren::fuzz::checkSummary(*summary, "claude:");
        wren::fuzz::require(!summary->contextWindow, "Claude sessions carry no context window");
    }
    return 0;
}
