#include "core/transcripts/snr_estimate.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace wren::SNREstimate {
namespace {

// Halves away from zero, clamped so that a huge product never overflows the conversion.
std::int64_t roundToTokens(double value) {
    constexpr double kMax = 9.2e18;
    return static_cast<std::int64_t>(std::round(std::clamp(value, -kMax, kMax)));
}

}  // namespace

double hash01(std::string_view seed) {
    if (seed.empty()) return 0.6037;
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char byte : seed) {
        hash ^= byte;
        hash *= 0x100000001b3ULL;
    }
    return static_cast<double>(hash % 10000) / 10000.0;
}

double signalFraction(std::int64_t tokens, std::int64_t turns, std::string_view seed) {
    const double t = static_cast<double>(std::max<std::int64_t>(tokens, 0));
    const double n = static_cast<double>(std::max<std::int64_t>(turns, 0));
    const double decay = std::exp(-0.9 * (t / 200000.0 + 0.6 * n / 90.0));
    const double f = decay * 0.7 + 0.12 + (hash01(seed) - 0.5) * 0.08;
    return std::clamp(f, 0.06, 0.95);
}

std::vector<ContextSegment> segments(std::int64_t tokens, std::int64_t turns, std::string_view seed) {
    if (tokens < 1) return {};
    const double total = static_cast<double>(tokens);
    const double s = signalFraction(tokens, turns, seed);
    const double h = hash01(std::string(seed) + "mix");

    const std::int64_t useful = roundToTokens(s * total);
    const double noise = (1.0 - s) * total;
    const std::int64_t repeat = roundToTokens(noise * (0.4 + 0.2 * h));
    const std::int64_t stale = roundToTokens(noise * (0.35 - 0.1 * h));
    // Each share is at most the whole, so the differences cannot overflow.
    const std::int64_t rest = tokens - useful - repeat - stale;
    const std::int64_t dead = rest < 1 ? 0 : rest;

    std::vector<ContextSegment> result;
    result.reserve(4);
    const auto keep = [&](const char* id, const char* label, std::int64_t n, Rgb color) {
        if (n > 0) result.push_back(ContextSegment{id, label, n, color});
    };
    keep("useful", "Useful", useful, ContextSegment::usefulColor);
    keep("stale", "Stale reads", stale, ContextSegment::staleColor);
    keep("repeat", "Repeats", repeat, ContextSegment::repeatColor);
    keep("dead", "Dead", dead, ContextSegment::deadColor);
    return result;
}

}  // namespace wren::SNREstimate
