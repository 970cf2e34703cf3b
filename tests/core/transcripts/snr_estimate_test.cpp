#include "core/transcripts/snr_estimate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace wren {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr const char* kSeed = "0a1b2c3d-0000-4000-8000-00000000abcd";

using Split = std::vector<std::pair<std::string, std::int64_t>>;

Split split(const std::vector<ContextSegment>& segments) {
    Split out;
    for (const ContextSegment& s : segments) out.emplace_back(s.id, s.tokens);
    return out;
}

TEST(SNREstimate, Hash01) {
    const std::pair<std::string, double> cases[] = {
        {"", 0.6037},
        {"a", 0.1996},
        {kSeed, 0.7705},
        {std::string(kSeed) + "mix", 0.7237},
    };
    for (const auto& [seed, expected] : cases) {
        EXPECT_DOUBLE_EQ(SNREstimate::hash01(seed), expected) << seed;
    }
}

TEST(SNREstimate, Segments) {
    struct Case {
        std::int64_t tokens, turns;
        std::string seed;
        Split expected;
    };
    const Case cases[] = {
        {100000,
         10,
         kSeed,
         {{"useful", 56199}, {"stale", 12161}, {"repeat", 23860}, {"dead", 7780}}},
        {1, 0, "", {{"useful", 1}}},
        {3, 0, "abc", {{"useful", 2}, {"dead", 1}}},
        {0, 5, "x", {}},
        {-1, 0, "x", {}},
        {kMin, kMax, "x", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(split(SNREstimate::segments(c.tokens, c.turns, c.seed)), c.expected)
            << c.tokens << " tokens, " << c.turns << " turns, seed " << c.seed;
    }
    EXPECT_NEAR(SNREstimate::signalFraction(100000, 10, kSeed), 0.56199, 5e-6);
}

TEST(SNREstimate, SegmentsCarryLabelsAndColours) {
    const auto segments = SNREstimate::segments(100000, 10, kSeed);
    ASSERT_EQ(segments.size(), 4u);
    const std::pair<const char*, Rgb> expected[] = {
        {"Useful", ContextSegment::usefulColor},
        {"Stale reads", ContextSegment::staleColor},
        {"Repeats", ContextSegment::repeatColor},
        {"Dead", ContextSegment::deadColor},
    };
    for (std::size_t i = 0; i < segments.size(); ++i) {
        EXPECT_EQ(segments[i].label, expected[i].first);
        EXPECT_EQ(segments[i].color, expected[i].second) << expected[i].first;
    }
}

TEST(SNREstimate, OutOfRangeInputs) {
    // Negative counts behave as zero.
    for (std::int64_t turns : {std::int64_t{-1}, std::int64_t{-90}, kMin}) {
        EXPECT_EQ(SNREstimate::signalFraction(5000, turns, kSeed),
                  SNREstimate::signalFraction(5000, 0, kSeed));
        EXPECT_EQ(split(SNREstimate::segments(5000, turns, kSeed)),
                  split(SNREstimate::segments(5000, 0, kSeed)));
    }
    EXPECT_EQ(SNREstimate::signalFraction(-7, 3, "s"), SNREstimate::signalFraction(0, 3, "s"));

    // A full context with endless turns leaves the floor of the decay plus the seed's shift.
    EXPECT_NEAR(SNREstimate::signalFraction(kMax, kMax, ""), 0.128296, 1e-9);
    EXPECT_NEAR(SNREstimate::signalFraction(0, 0, ""), 0.828296, 1e-9);
}

// Whatever the inputs, the shares are positive, come in a fixed order and account for every
// token; rounding may add one token, and only when it leaves nothing for the dead share.
TEST(SNREstimate, SegmentsPartitionTheTokens) {
    std::vector<std::int64_t> tokenCounts;
    for (std::int64_t t = 1; t <= 300; ++t) tokenCounts.push_back(t);
    for (std::int64_t t : std::initializer_list<std::int64_t>{
             999LL, 1000LL, 12345LL, 199999LL, 200000LL, 1000000LL, 987654321LL, 1000000000000LL,
             (1LL << 53) + 1, kMax / 3, kMax - 1, kMax}) {
        tokenCounts.push_back(t);
    }
    const std::int64_t turnCounts[] = {-3, 0, 1, 2, 7, 30, 90, 1000, 1000000, kMax};
    const std::string seeds[] = {"", "a", "abc", kSeed, "mix", "\xe6\x97\xa5\xe6\x9c\xac", "zz"};
    const char* const order[] = {"useful", "stale", "repeat", "dead"};

    int checked = 0;
    for (std::int64_t tokens : tokenCounts) {
        for (std::int64_t turns : turnCounts) {
            for (const std::string& seed : seeds) {
                const double s = SNREstimate::signalFraction(tokens, turns, seed);
                ASSERT_GE(s, 0.06);
                ASSERT_LE(s, 0.95);
                const auto segments = SNREstimate::segments(tokens, turns, seed);
                ASSERT_FALSE(segments.empty());
                std::size_t next = 0;
                std::uint64_t sum = 0;  // at most 2^63, so it fits unsigned
                for (const ContextSegment& segment : segments) {
                    ASSERT_GT(segment.tokens, 0) << tokens << "/" << turns << "/" << seed;
                    while (next < 4 && segment.id != order[next]) ++next;
                    ASSERT_LT(next, 4u) << "out of order: " << segment.id;
                    ++next;
                    sum += static_cast<std::uint64_t>(segment.tokens);
                }
                const bool hasDead = segments.back().id == "dead";
                const auto total = static_cast<std::uint64_t>(tokens);
                if (hasDead) {
                    ASSERT_EQ(sum, total) << tokens << "/" << turns << "/" << seed;
                } else {
                    ASSERT_TRUE(sum == total || sum == total + 1)
                        << tokens << "/" << turns << "/" << seed << " sums to " << sum;
                }
                ASSERT_EQ(split(SNREstimate::segments(tokens, turns, seed)), split(segments));
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 20000);
}

}  // namespace
}  // namespace wren
