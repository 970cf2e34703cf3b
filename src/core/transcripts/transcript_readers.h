#pragma once

#include <simdjson.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/transcripts/byte_source.h"
#include "core/transcripts/session_summary.h"
#include "core/transcripts/transcript_window.h"

namespace wren::SessionDiscovery {

/// The two transcript readers: one file in, one session summary out (or none when the file does
/// not describe a usable session). Each reads at most the last 512 KiB (Codex also the first
/// 96 KiB), newest record first, and stops as soon as it knows what it needs; only when no user
/// message turned up there does it read the 3.5 MiB before, for that message alone.
/// Pure functions of the file: safe to run concurrently on different files. Their scratch memory
/// is the calling thread's ReaderArena, so a thread that reads many files allocates no window
/// after the first few.

inline constexpr std::uint64_t kRecentBytes = 512 * 1024;
inline constexpr std::uint64_t kOlderBytes = 3584 * 1024;
inline constexpr std::uint64_t kHeadBytes = 96 * 1024;

std::optional<SessionSummary> readClaude(const std::filesystem::path& file);
std::optional<SessionSummary> readCodex(const std::filesystem::path& file);

/// The same readers over any source of the file's bytes, such as bytes already in memory;
/// `fileName` is the file's last path component, which may carry the session id.
std::optional<SessionSummary> readClaude(const ByteSource& source, std::string_view fileName);
std::optional<SessionSummary> readCodex(const ByteSource& source, std::string_view fileName);

/// The newest user message with display text in a Claude window.
std::optional<std::string> lastClaudeMessage(const TranscriptWindow& window);
/// The newest user message with display text in a Codex window.
std::optional<std::string> lastCodexMessage(const TranscriptWindow& window);

/// 8-4-4-4-12 hexadecimal digits (either case) and nothing else.
bool isUuid(std::string_view text);
/// The first 8-4-4-4-12 hexadecimal run in a file name, case kept.
std::optional<std::string> uuid(std::string_view text);
/// The last component of a working directory ("/" stays "/"), or "—" when there is none.
std::string projectName(std::optional<std::string_view> path);

/// A Codex payload's info.last_token_usage.input_tokens.
std::optional<std::int64_t> codexResidentTokens(simdjson::dom::object payload);
/// The integer under `key` in an object or, depth first, in its nested objects (not arrays).
/// A key directly in the object wins; nesting deeper than the parser allows is not searched.
std::optional<std::int64_t> findInt(std::string_view key, simdjson::dom::element value);

}  // namespace wren::SessionDiscovery
