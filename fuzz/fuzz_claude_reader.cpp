// The Claude reader on arbitrary transcript bytes, in memory.

#include "reader_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const wren::fuzz::ReaderInput input(data, size);
    const auto summary =
        wren::SessionDiscovery::readClaude(input, "0f8fad5b-d9cb-469f-a165-70867728950e.jsonl");
    if (summary) {
        wren::fuzz::checkSummary(*summary, "claude:");
        wren::fuzz::require(!summary->contextWindow, "Claude sessions carry no context window");
    }
    // The arena is reused by the next input: what it held must never show through, so a
    // second read of the same bytes must say the same.
    const auto again =
        wren::SessionDiscovery::readClaude(input, "0f8fad5b-d9cb-469f-a165-70867728950e.jsonl");
    wren::fuzz::require(again.has_value() == summary.has_value() &&
                            (!summary || (again->lastUserMessage == summary->lastUserMessage &&
                                          again->turns == summary->turns &&
                                          again->reportedTokens == summary->reportedTokens &&
                                          again->project == summary->project)),
                        "a read does not depend on the one before");
    return 0;
}
