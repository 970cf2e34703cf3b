#include "core/transcripts/iso8601.h"

#include <gtest/gtest.h>

#include <string>

namespace wren {
namespace {

// What a parser should give for one text: an instant, nothing, or either (not pinned).
struct Expect {
    enum Kind { kValue, kNothing, kAny } kind;
    double seconds = 0;
};
constexpr Expect at(double seconds) {
    return {Expect::kValue, seconds};
}
constexpr Expect kNone{Expect::kNothing};
constexpr Expect kEither{Expect::kAny};

void check(const std::optional<Instant>& got, const Expect& want, const std::string& what) {
    switch (want.kind) {
        case Expect::kValue:
            ASSERT_TRUE(got) << what;
            EXPECT_NEAR(unixSeconds(*got), want.seconds, 1e-6) << what;
            break;
        case Expect::kNothing:
            EXPECT_FALSE(got) << what << " gave " << unixSeconds(*got);
            break;
        case Expect::kAny:
            break;
    }
}

TEST(ISO8601, FastPathAndFallback) {
    const std::string digits19 = "2025-09-10T08:15:30.2500000000000000000Z";
    const std::string digits20 = "2025-09-10T08:15:30.25000000000000000000Z";
    ASSERT_EQ(digits19.size(), 40u);
    ASSERT_EQ(digits20.size(), 41u);
    const std::string long1000 = "2025-09-10T08:15:30." + std::string(979, '0') + "Z";
    ASSERT_EQ(long1000.size(), 1000u);
    const std::string nul("2025-09-10T08:15:30\0Z", 21);

    struct Case {
        std::string text;
        Expect fast, slow;
    };
    const Case cases[] = {
        {"2025-09-10T08:15:30Z", at(1757492130.0), at(1757492130.0)},
        {"2025-09-10T08:15:30.250Z", at(1757492130.25), at(1757492130.25)},
        {"2025-09-10T08:15:30.Z", at(1757492130.0), kEither},
        {"2025-09-10T08:15:30.250", kNone, kNone},
        {"2025-09-10T08:15:30+02:00", kNone, at(1757484930.0)},
        {"2025-09-10T08:15:30.5+02:00", kNone, at(1757484930.5)},
        {"2025-09-10T08:15:30-05:30", kNone, at(1757511930.0)},
        {"2025-09-10T08:15:30+00:00", kNone, at(1757492130.0)},
        {digits19, at(1757492130.25), at(1757492130.25)},
        {digits20, kNone, at(1757492130.25)},
        // A leap second is the first second of the next day.
        {"2024-02-29T23:59:60Z", at(1709251200.0), kEither},
        {"2024-03-01T00:00:00Z", at(1709251200.0), at(1709251200.0)},
        // The fast path does not check the day against the month; the fallback does.
        {"2025-02-31T00:00:00Z", at(1740960000.0), kNone},
        {"2024-02-31T00:00:00Z", at(1709337600.0), kNone},
        {"2024-02-29T00:00:00+00:00", kNone, at(1709164800.0)},
        {"2000-02-29T00:00:00+00:00", kNone, at(951782400.0)},
        {"2023-02-29T00:00:00+00:00", kNone, kNone},
        {"2100-02-29T00:00:00+00:00", kNone, kNone},
        {"2025-04-31T00:00:00+00:00", kNone, kNone},
        {"1969-12-31T23:59:59Z", at(-1.0), at(-1.0)},
        {"1970-01-01T00:00:00Z", at(0.0), at(0.0)},
        {"0001-01-01T00:00:00Z", at(-62135596800.0), at(-62135596800.0)},
        {"0000-03-01T00:00:00Z", at(-62162035200.0), at(-62162035200.0)},
        {"9999-12-31T23:59:59Z", at(253402300799.0), at(253402300799.0)},
        // Field ranges.
        {"2025-13-01T00:00:00Z", kNone, kNone},
        {"2025-00-01T00:00:00Z", kNone, kNone},
        {"2025-01-00T00:00:00Z", kNone, kNone},
        {"2025-01-32T00:00:00Z", kNone, kNone},
        {"2025-09-10T24:00:00Z", kNone, kNone},
        {"2025-09-10T23:60:00Z", kNone, kNone},
        {"2025-09-10T23:59:61Z", kNone, kNone},
        // Zones.
        {"2025-09-10T08:15:30", kNone, kNone},
        {"2025-09-10T08:15:30z", kNone, kNone},
        {"2025-09-10T08:15:30ZZ", kNone, kNone},
        {"2025-09-10T08:15:30Z ", kNone, kNone},
        {"2025-09-10T08:15:30+0200", kNone, kNone},
        {"2025-09-10T08:15:30+24:00", kNone, kNone},
        {"2025-09-10T08:15:30+02:60", kNone, kNone},
        {"2025-09-10T08:15:30+2:00", kNone, kNone},
        // Shape.
        {"", kNone, kNone},
        {"garbage", kNone, kNone},
        {"2025-09-10 08:15:30Z", kNone, kNone},
        {"2025-9-10T08:15:30Z", kNone, kNone},
        {"2025-09-1aT08:15:30Z", kNone, kNone},
        {"+025-09-10T08:15:30Z", kNone, kNone},
        {"2025-09-10T08:15:3", kNone, kNone},
        {"2025-09-10T08:15:30.25.5Z", kNone, kNone},
        {nul, kNone, kNone},
        {long1000, kNone, kNone},
        {std::string(1000, '2'), kNone, kNone},
    };
    for (const Case& c : cases) {
        check(ISO8601::parse(c.text), c.fast, "parse " + c.text.substr(0, 50));
        check(ISO8601::fallback(c.text), c.slow, "fallback " + c.text.substr(0, 50));
    }
}

}  // namespace
}  // namespace wren
