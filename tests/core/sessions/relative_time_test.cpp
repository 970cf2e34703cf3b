#include "core/sessions/relative_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace wren {
namespace {

// 2024-06-15T10:00:00Z: a Saturday away from any daylight-saving change.
const Instant kNow = instantFromUnix(1718445600);

Instant ago(double seconds) {
    return kNow - Seconds(seconds);
}

TEST(RelativeTime, Compact) {
    const struct {
        double secondsAgo;
        const char* text;
    } cases[] = {
        {0, "now"},       {59.9, "now"},   {-30, "now"},  // the future
        {-86'400, "now"}, {60, "1m"},      {299, "4m"},    {3599, "59m"},
        {3600, "1h"},     {86'399, "23h"}, {86'400, "1d"}, {86'400.0 * 12 + 5, "12d"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RelativeTime::compact(ago(c.secondsAgo), kNow), c.text) << c.secondsAgo;
    }
    EXPECT_EQ(RelativeTime::compact(instantFromUnix(std::nan("")), kNow), "now");
    EXPECT_EQ(RelativeTime::compact(instantFromUnix(-1e300), kNow), "9200000000000000000d");
}

TEST(RelativeTime, LongFormPicksTheLargestWholeUnit) {
    const RelativeFormatter english("en", "UTC");
    const struct {
        double secondsAgo;
        const char* text;
    } cases[] = {
        {0, "just now"},
        {59, "just now"},
        {59.999, "just now"},
        {-600, "just now"},  // the future
        {60, "1 minute ago"},
        {300, "5 minutes ago"},
        {3599, "59 minutes ago"},
        {3600, "1 hour ago"},
        {5400, "1 hour ago"},
        {86'399, "23 hours ago"},
        {86'400, "1 day ago"},
        {86'400.0 * 6 + 3600 * 23, "6 days ago"},
        {86'400.0 * 7, "1 week ago"},
        {86'400.0 * 15, "2 weeks ago"},
        {86'400.0 * 31, "1 month ago"},  // 2024-05-15 → 2024-06-15
        {86'400.0 * 366, "1 year ago"},  // 2023-06-15 → 2024-06-15
        {86'400.0 * 365 * 3 + 86'400, "3 years ago"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(english.format(ago(c.secondsAgo), kNow), c.text) << c.secondsAgo;
    }
    EXPECT_EQ(english.format(instantFromUnix(std::nan("")), kNow), "just now");
}

TEST(RelativeTime, LongFormIsLocalised) {
    const RelativeFormatter german("de", "Europe/Berlin");
    EXPECT_EQ(german.format(ago(300), kNow), "vor 5 Minuten");
    EXPECT_EQ(german.format(ago(7200), kNow), "vor 2 Stunden");
    // "just now" is the system's own text in every locale.
    EXPECT_EQ(german.format(ago(30), kNow), "just now");
}

TEST(RelativeTime, LongFormCountsMonthsOnTheCalendar) {
    // Calendar months, not fixed 30-day ones: February 2024 has 29 days, January 31.
    const RelativeFormatter english("en", "UTC");
    const Instant jan1 = instantFromUnix(1704067200);   // 2024-01-01T00:00Z
    const Instant jan31 = instantFromUnix(1706659200);  // 2024-01-31T00:00Z
    const Instant feb1 = instantFromUnix(1706745600);   // 2024-02-01T00:00Z
    const Instant mar1 = instantFromUnix(1709251200);   // 2024-03-01T00:00Z
    EXPECT_EQ(english.format(feb1, mar1), "1 month ago");
    EXPECT_EQ(english.format(jan1, jan31), "4 weeks ago");
}

// The instant a text next changes is checked against the formatter itself: the text just
// before it is the text now, and the text just after it is another one.
TEST(RelativeTime, NextChangeIsWhenTheTextChanges) {
    const RelativeFormatter berlin("en", "Europe/Berlin");
    // 2024-03-31T00:30+01:00, the night the clocks go forward, and a month-end date.
    const Instant springNight = instantFromUnix(1711841400);
    const Instant january31 = instantFromUnix(1706659200);  // 2024-01-31T00:00Z
    const struct {
        Instant date;
        double later;  // seconds from the date to now
    } cases[] = {
        {kNow, 0},
        {kNow, 30},
        {kNow, -600},  // "just now", also ahead
        {kNow, 60},
        {kNow, 61.5},
        {kNow, 299},
        {kNow, 3599.5},
        {kNow, 3600},
        {kNow, 5400},
        {kNow, 86'399},
        {kNow, 86'400 + 7},
        {kNow, 6.5 * 86'400},
        {kNow, 7 * 86'400},
        {kNow, 27 * 86'400},
        {kNow, 200 * 86'400},
        {kNow, 400 * 86'400},
        {springNight, 3600},
        {springNight, 23 * 3600},
        {springNight, 86'400 - 60},
        {january31, 28 * 86'400},
        {january31, 29.5 * 86'400},
    };
    const Seconds ms(0.001);
    for (const auto& c : cases) {
        const Instant now = c.date + Seconds(c.later);
        const std::string context =
            std::to_string(c.later) + " s after " + std::to_string(unixSeconds(c.date));

        const std::optional<Instant> longNext = berlin.nextChange(c.date, now);
        ASSERT_TRUE(longNext) << context;
        EXPECT_GT(*longNext, now) << context;
        const std::string longText = berlin.format(c.date, now);
        EXPECT_EQ(berlin.format(c.date, *longNext - ms), longText) << context;
        EXPECT_NE(berlin.format(c.date, *longNext + ms), longText) << context;

        const std::optional<Instant> compactNext = RelativeTime::compactNextChange(c.date, now);
        ASSERT_TRUE(compactNext) << context;
        const std::string compactText = RelativeTime::compact(c.date, now);
        EXPECT_EQ(RelativeTime::compact(c.date, *compactNext - ms), compactText) << context;
        EXPECT_NE(RelativeTime::compact(c.date, *compactNext + ms), compactText) << context;
    }
    const Instant nan = instantFromUnix(std::nan(""));
    EXPECT_FALSE(berlin.nextChange(nan, kNow));
    EXPECT_FALSE(berlin.nextChange(kNow, nan));
    EXPECT_FALSE(RelativeTime::compactNextChange(nan, kNow));
}

TEST(RelativeTime, SharedFormatterIsSafeAcrossThreads) {
    std::vector<std::thread> threads;
    std::vector<std::string> results(8);
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&results, i] {
            for (int n = 0; n < 50; ++n) results[i] = RelativeTime::longForm(ago(600), kNow);
        });
    }
    for (auto& t : threads) t.join();
    for (const auto& text : results) {
        EXPECT_FALSE(text.empty());
        EXPECT_NE(text, "just now");
        EXPECT_EQ(text, results.front());
    }
}

}  // namespace
}  // namespace wren
