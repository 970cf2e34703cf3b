// The Codex reader on arbitrary transcript bytes, in memory.

#include "reader_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const wren::fuzz::ReaderInput input(data, size);
    constexpr std::string_view kName =
        "rollout-2025-09-10T08-00-00-0f8fad5b-d9cb-469f-a165-70867728950e.jsonl";
    const auto summary = wren::SessionDiscovery::readCodex(input, kName);
    if (summary) wren::fuzz::checkSummary(*summary, "codex:");
    const auto again = wren::SessionDiscovery::readCodex(input, kName);
    wren::fuzz::require(again.has_value() == summary.has_value() &&
                            (!summary || (again->lastUserMessage == summary->lastUserMessage &&
                                          again->turns == summary->turns &&
                                          again->reportedTokens == summary->reportedTokens &&
                                          again->contextWindow == summary->contextWindow &&
                                          again->nativeID == summary->nativeID)),
                        "a read does not depend on the one before");
    return 0;
}
