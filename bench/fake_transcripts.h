#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace wren::bench {

/// Transcripts shaped like the ones the agents write — prompts, tool calls and their output,
/// usage blocks and token counts, now and then a tool output of hundreds of KB — grown to a byte
/// size. Deterministic for a seed, so two runs measure the same bytes.

/// Where the newest user prompt sits.
enum class LastPrompt {
    recent,  // in the final turn: the newest few records hold everything a reader needs
    early,   // near the start: the last 512 KiB hold no user prompt, only autonomous tool work
};

struct FakeTranscript {
    std::string nativeID;  // the session UUID (Codex: also in the session_meta header)
    std::string cwd = "/home/dev/src/wren-island";
    std::uint64_t bytes = 4 << 20;  // the size, give or take the final turn (< 32 KiB)
    LastPrompt lastPrompt = LastPrompt::recent;
    double startUnix = 1757491200;  // first record's time stamp; records follow seconds apart
    std::uint64_t seed = 1;
};

std::string claudeTranscript(const FakeTranscript& plan);
std::string codexTranscript(const FakeTranscript& plan);

/// A lower-case UUID of the version-4 shape, from a seed.
std::string fakeUuid(std::uint64_t seed);

/// "YYYY-MM-DDTHH:MM:SS.mmmZ", the agents' own stamp shape.
std::string isoTimestamp(double unixSeconds);

/// Writes `bytes` to `file`, replacing it; false when that fails.
bool writeFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace wren::bench
