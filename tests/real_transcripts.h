#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace wren::testing {

/// Transcripts written by the real agents are third-party files that the project does not copy
/// in: the tests that read them find them here, and skip, saying so, where they are absent (a
/// clone without the team's shared folder beside it).

/// "real/" under WREN_FIXTURES_DIR when that is set, else under the shared fixtures folder
/// beside the project; nothing when it is no directory.
inline std::optional<std::filesystem::path> realTranscripts() {
    const char* chosen = std::getenv("WREN_FIXTURES_DIR");
    const std::filesystem::path base =
        chosen != nullptr && *chosen != '\0' ? std::filesystem::path(chosen) : WREN_FIXTURES;
    std::error_code error;
    if (!std::filesystem::is_directory(base / "real", error)) return std::nullopt;
    return base / "real";
}

/// Why such a test was skipped.
inline constexpr const char* kNoRealTranscripts =
    "no real agent transcripts: set WREN_FIXTURES_DIR to a folder with real/claude and "
    "real/codex (default ../shared/fixtures beside the project)";

}  // namespace wren::testing
