// The Codex reader on arbitrary file contents.

#include "reader_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static wren::fuzz::ReaderFile file(
        "rollout-2025-09-10T08-00-00-0f8fad5b-d9cb-469f-a165-70867728950e.jsonl");
    file.write(data, size);
    if (const auto summary = wren::SessionDiscovery::readCodex(file.path())) {
        wren::fuzz::checkSummary(*summary, "codex:");
    }
    return 0;
}
