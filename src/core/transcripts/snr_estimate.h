#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/transcripts/session_summary.h"

namespace wren::SNREstimate {

/// The transcripts do not say what a context is made of, so we estimate it from the tokens in
/// context and the user turns, with a small per-session variation seeded by the session id.
/// Pure and reproducible on every machine.

/// A stable value in [0, 1) from FNV-1a 64 of the seed's bytes; 0.6037 for the empty seed.
double hash01(std::string_view seed);

/// The useful share of the context, in 0.06 … 0.95.
double signalFraction(std::int64_t tokens, std::int64_t turns, std::string_view seed);

/// Useful, stale, repeat and dead segments (only those above zero); empty when tokens < 1.
std::vector<ContextSegment> segments(std::int64_t tokens, std::int64_t turns, std::string_view seed);

}  // namespace wren::SNREstimate
