#include "core/sessions/context_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/sessions/local_calendar.h"
#include "session_lists.h"
#include "core/sessions/strict_decimal.h"

namespace wren {
namespace {

using testing::ids;
using testing::snapshotOf;

// Wall-clock moments in Europe/Berlin, as Unix seconds.
constexpr double kJune15Midnight = 1718402400;  // 2024-06-15T00:00+02:00
constexpr double kJune16Midnight = 1718488800;
constexpr double kJune15TenAm = 1718438400;
constexpr double kSpringMidnight = 1711839600;  // 2024-03-31T00:00+01:00, a 23-hour day
constexpr double kSpringNextMidnight = 1711922400;
constexpr double kSpringLate = 1711920600;      // 23:30 that day
constexpr double kAutumnMidnight = 1729980000;  // 2024-10-27T00:00+02:00, a 25-hour day
constexpr double kAutumnNextMidnight = 1730070000;
constexpr double kAutumnLate = 1730068200;

const LocalCalendar kBerlin("Europe/Berlin");

SessionSummary session(std::string id, double lastActivity, std::int64_t tokens = 0) {
    SessionSummary s;
    s.id = std::move(id);
    s.lastActivity = instantFromUnix(lastActivity);
    s.reportedTokens = tokens;
    return s;
}

ContextModel model(std::optional<std::int64_t> pinned = std::nullopt,
                   std::vector<SessionSummary> demo = {}) {
    return ContextModel(ContextModel::Setup{kBerlin, pinned, std::move(demo)});
}

TEST(StrictDecimal, Parse) {
    const struct {
        const char* text;
        std::optional<std::int64_t> value;
    } cases[] = {
        {"0", 0},
        {"2", 2},
        {"+2", 2},
        {"-0", 0},
        {"-1", -1},
        {"007", 7},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {"9223372036854775808", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"--1", std::nullopt},
        {"1x", std::nullopt},
        {" 2", std::nullopt},
        {"2 ", std::nullopt},
        {"0x10", std::nullopt},
        {"1e3", std::nullopt},
        {"1.0", std::nullopt},
        {"\xd9\xa3", std::nullopt},  // ARABIC-INDIC DIGIT THREE
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseStrictDecimal(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(LocalCalendar, DaysRunFromLocalMidnightIncludingDaylightSavingChanges) {
    const struct {
        double moment, start, end;
    } cases[] = {
        {kJune15TenAm, kJune15Midnight, kJune16Midnight},
        {kJune15Midnight, kJune15Midnight, kJune16Midnight},
        {kJune16Midnight - 1, kJune15Midnight, kJune16Midnight},
        {kSpringLate, kSpringMidnight, kSpringNextMidnight},
        {kSpringMidnight + 3 * 3600, kSpringMidnight, kSpringNextMidnight},
        {kAutumnLate, kAutumnMidnight, kAutumnNextMidnight},
        {kAutumnMidnight + 2.5 * 3600, kAutumnMidnight, kAutumnNextMidnight},  // the repeated hour
    };
    for (const auto& c : cases) {
        const auto day = kBerlin.dayContaining(instantFromUnix(c.moment));
        EXPECT_EQ(unixSeconds(day.start), c.start) << c.moment;
        EXPECT_EQ(unixSeconds(day.end), c.end) << c.moment;
    }
    EXPECT_EQ(kSpringNextMidnight - kSpringMidnight, 23 * 3600);
    EXPECT_EQ(kAutumnNextMidnight - kAutumnMidnight, 25 * 3600);
    // Santiago's clocks skip from 00:00 to 01:00 on 2024-09-08 and go back from 00:00 to 23:00
    // on 2024-04-07: the days are 23 and 25 hours long, each ending at the next midnight.
    const LocalCalendar santiago("America/Santiago");
    const struct {
        double moment, start, end;
    } skipped[] = {
        {1725724800, 1725681600, 1725768000},  // 2024-09-07 12:00-04, ending at the skip
        {1725768000, 1725768000, 1725850800},  // 2024-09-08 01:00-03, its first instant
        {1725811200, 1725768000, 1725850800},  // 2024-09-08 13:00-03
        {1725850799, 1725768000, 1725850800},  // 2024-09-08 23:59:59-03
        {1712448000, 1712372400, 1712462400},  // 2024-04-06 21:00-03
        {1712460600, 1712372400, 1712462400},  // 2024-04-06 23:30-04, the repeated hour
        {1712462400, 1712462400, 1712548800},  // 2024-04-07 00:00-04
    };
    for (const auto& c : skipped) {
        const auto day = santiago.dayContaining(instantFromUnix(c.moment));
        EXPECT_EQ(unixSeconds(day.start), c.start) << "Santiago " << c.moment;
        EXPECT_EQ(unixSeconds(day.end), c.end) << "Santiago " << c.moment;
    }
    const auto none = kBerlin.dayContaining(instantFromUnix(std::nan("")));
    EXPECT_FALSE(none.contains(instantFromUnix(kJune15TenAm)));
}

TEST(ContextModel, TodaysTotalsFollowTheLocalDay) {
    const struct {
        const char* name;
        double now;
        std::vector<SessionSummary> sessions;
        std::int64_t tokens;
        double worked;
    } cases[] = {
        {"nothing today", kJune15TenAm, {session("a", kJune15Midnight - 1, 500)}, 0, 0},
        {"just before and just after midnight",
         kJune15TenAm,
         {session("late", kJune15Midnight - 1, 1000), session("early", kJune15Midnight, 20)},
         20,
         kJune15TenAm - kJune15Midnight},
        {"earliest of several today",
         kJune15TenAm,
         {session("a", kJune15TenAm - 60, 7), session("b", kJune15TenAm - 3600, 5),
          session("c", kJune15TenAm - 600, 3)},
         15,
         3600},
        {"a future day is not today", kJune15TenAm, {session("a", kJune16Midnight, 9)}, 0, 0},
        {"23-hour day: 23:30 counts, the next midnight does not",
         kSpringLate + 60,
         {session("a", kSpringMidnight + 60, 1), session("b", kSpringNextMidnight, 2)},
         1,
         kSpringLate - kSpringMidnight},
        {"25-hour day: the 25th hour is still today",
         kAutumnLate,
         {session("a", kAutumnMidnight, 4), session("b", kAutumnMidnight - 1, 8)},
         4,
         kAutumnLate - kAutumnMidnight},
        {"clock skew: a session after now keeps the worked time at zero",
         kJune15TenAm,
         {session("a", kJune15TenAm + 30, 6)},
         6,
         0},
    };
    for (const auto& c : cases) {
        ContextModel m = model();
        m.apply(snapshotOf(c.sessions), instantFromUnix(c.now));
        EXPECT_EQ(m.tokensToday(), c.tokens) << c.name;
        EXPECT_EQ(m.workedToday(), c.worked) << c.name;
    }
}

TEST(ContextModel, TokensTodayUsesTotalTokensAndStopsAtTheLimit) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    SessionSummary bySegments = session("segments", kJune15TenAm);
    bySegments.reportedTokens.reset();
    bySegments.segments = {{"useful", "Useful", 700, {}}, {"stale", "Stale reads", 300, {}}};

    const struct {
        const char* name;
        std::vector<SessionSummary> sessions;
        std::int64_t tokens;
    } cases[] = {
        {"segments when nothing is reported", {bySegments, session("r", kJune15TenAm, 5)}, 1005},
        {"exact near the limit",
         {session("a", kJune15TenAm, kMax - 1), session("b", kJune15TenAm, 1)},
         kMax},
        {"overflow saturates",
         {session("a", kJune15TenAm, kMax), session("b", kJune15TenAm, kMax)},
         kMax},
        {"underflow saturates",
         {session("a", kJune15TenAm, kMin), session("b", kJune15TenAm, -1)},
         kMin},
    };
    for (const auto& c : cases) {
        ContextModel m = model();
        m.apply(snapshotOf(c.sessions), instantFromUnix(kJune15TenAm + 60));
        EXPECT_EQ(m.tokensToday(), c.tokens) << c.name;
    }
}

TEST(ContextModel, DemoListInSessionOrderUntilRealSessionsArrive) {
    const double now = kJune15TenAm;
    // Out of order, with two equal instants whose ids must come out ascending.
    const std::vector<SessionSummary> demo = {
        session("old", now - 7200, 1), session("tie-b", now - 60, 10),
        session("yesterday", kJune15Midnight - 5, 100), session("tie-a", now - 60, 1000)};
    ContextModel m = model(std::nullopt, demo);
    const std::vector<std::string> ordered = {"tie-a", "tie-b", "old", "yesterday"};
    EXPECT_EQ(ids(m.sessions()), ordered);
    EXPECT_EQ(m.active()->id, "tie-a");

    EXPECT_TRUE(m.showsSamples());

    // An empty snapshot falls back to the demo list, shown as samples: none of their numbers
    // may pass for today's usage.
    m.apply(snapshotOf({session("real", now - 60, 5)}), instantFromUnix(now));
    EXPECT_FALSE(m.showsSamples());
    m.apply(snapshotOf({}), instantFromUnix(now));
    EXPECT_TRUE(m.showsSamples());
    EXPECT_EQ(ids(m.sessions()), ordered);
    EXPECT_EQ(m.tokensToday(), 0);
    EXPECT_EQ(m.workedToday(), 0);
    EXPECT_EQ(m.activeCount(instantFromUnix(now)), 0);
    m.rollOver(instantFromUnix(now + 60));
    EXPECT_EQ(m.tokensToday(), 0);

    // A real list is taken as it comes, not re-sorted.
    m.apply(snapshotOf({session("z", now - 600), session("y", now - 60)}), instantFromUnix(now));
    EXPECT_FALSE(m.showsSamples());
    EXPECT_EQ(ids(m.sessions()), (std::vector<std::string>{"z", "y"}));
    EXPECT_EQ(m.active()->id, "z");
}

TEST(ContextModel, ApplyPublishesWindowsAndInstalls) {
    ContextModel m = model();
    MachineSnapshot snapshot = snapshotOf({session("a", kJune15TenAm)});
    snapshot.windows[Agent::codex] = RateWindow{42, 300, std::nullopt};
    snapshot.installs = InstallState{{Agent::claude}, true};
    m.apply(snapshot, instantFromUnix(kJune15TenAm));
    EXPECT_EQ(m.windows(), snapshot.windows);
    EXPECT_EQ(m.installs(), snapshot.installs);
    m.apply(snapshotOf({session("a", kJune15TenAm)}), instantFromUnix(kJune15TenAm));
    EXPECT_TRUE(m.windows().empty());
    EXPECT_EQ(m.installs(), InstallState{});
}

TEST(ContextModel, PinnedSelectionAppliesOnceWhenInRange) {
    const auto two = std::vector{session("a", kJune15TenAm), session("b", kJune15TenAm - 1)};
    auto three = two;
    three.push_back(session("c", kJune15TenAm - 2));
    auto four = three;
    four.insert(four.begin(), session("new", kJune15TenAm + 1));

    const struct {
        const char* name;
        std::optional<std::int64_t> pinned;
        std::vector<std::vector<SessionSummary>> applies;
        std::vector<std::optional<std::string>> selected;  // after each apply
    } cases[] = {
        {"absent", std::nullopt, {two, three}, {std::nullopt, std::nullopt}},
        {"negative", -1, {two, three}, {std::nullopt, std::nullopt}},
        {"out of range, then in range once", 2, {two, three, four}, {std::nullopt, "c", "c"}},
        {"index 0 at once", 0, {two, four}, {"a", "a"}},
        {"stays on a session that left", 1, {two, {session("x", kJune15TenAm)}}, {"b", "b"}},
        {"huge", std::numeric_limits<std::int64_t>::max(), {four}, {std::nullopt}},
    };
    for (const auto& c : cases) {
        ContextModel m = model(c.pinned);
        for (std::size_t i = 0; i < c.applies.size(); ++i) {
            m.apply(snapshotOf(c.applies[i]), instantFromUnix(kJune15TenAm));
            EXPECT_EQ(m.selectedID(), c.selected[i]) << c.name << " apply " << i;
        }
    }

    // Once applied, clearing it by hand does not bring it back.
    ContextModel m = model(0);
    m.apply(snapshotOf(two), instantFromUnix(kJune15TenAm));
    m.toggleSelection("a");
    m.apply(snapshotOf(two), instantFromUnix(kJune15TenAm));
    EXPECT_EQ(m.selectedID(), std::nullopt);
}

TEST(ContextModel, ToggleSelectionAndExpandedHeight) {
    std::vector<SessionSummary> five;
    for (int i = 0; i < 5; ++i) five.push_back(session("s" + std::to_string(i), kJune15TenAm - i));
    ContextModel m = model();
    m.apply(snapshotOf(five), instantFromUnix(kJune15TenAm));

    EXPECT_EQ(m.expandedHeight(32), 179);
    m.toggleSelection("s1");
    EXPECT_EQ(m.selectedID(), "s1");
    EXPECT_EQ(m.expandedHeight(32), 320);
    m.toggleSelection("s3");
    EXPECT_EQ(m.selectedID(), "s3");
    m.toggleSelection("s3");
    EXPECT_EQ(m.selectedID(), std::nullopt);
    EXPECT_EQ(m.expandedHeight(32), 179);

    // A selection that names no row still opens the detail space; additions in this order.
    m.toggleSelection("gone");
    EXPECT_EQ(m.expandedHeight(0.1), ((0.1 + 22) + 5 * 25.0) + 141);
}

TEST(ContextModel, ActiveCountIsTwoHoursInclusive) {
    const double now = kJune15TenAm + 0.5;
    ContextModel m = model();
    m.apply(snapshotOf({session("now", now), session("edge", now - 7200),
                        session("past", now - 7201), session("future", now + 10)}),
            instantFromUnix(now));
    EXPECT_EQ(m.activeCount(instantFromUnix(now)), 3);
    EXPECT_EQ(m.activeCount(instantFromUnix(now + 1)), 2);

    ContextModel empty = model();
    EXPECT_FALSE(empty.active().has_value());
    EXPECT_EQ(empty.nextClockChange(true, instantFromUnix(now)), instantFromUnix(kJune16Midnight))
        << "nothing but the day can change";
    EXPECT_EQ(empty.activeCount(instantFromUnix(now)), 0);
    EXPECT_EQ(empty.expandedHeight(32), 54);
}

// The one moment the island must wake: the earliest change among what it shows, and only that.
TEST(ContextModel, NextClockChangeIsTheEarliestShownTextChange) {
    const double now = kJune15TenAm;
    const auto at = [](double seconds) { return instantFromUnix(seconds); };
    const struct {
        const char* name;
        std::vector<SessionSummary> sessions;
        bool expanded;
        double next;
    } cases[] = {
        // Collapsed, only the newest session's long form shows: 5 min 30 s ago becomes
        // "6 minutes ago" in 30 s; the older rows' compact times do not count.
        {"collapsed", {session("a", now - 330), session("b", now - 3590)}, false, now + 30},
        // Open, every row's compact time counts: 59m becomes 1h in 10 s.
        {"open", {session("a", now - 330), session("b", now - 3590)}, true, now + 10},
        // An older session leaving the two-hour window changes the active count.
        {"active count", {session("a", now - 60), session("b", now - 7190)}, false, now + 10},
        // Late in the day with hour-old sessions, the next change may be midnight.
        {"midnight", {session("a", kJune16Midnight - 2.5 * 3600 - 1200)}, false, kJune16Midnight},
    };
    for (const auto& c : cases) {
        ContextModel m = model();
        const double seen = c.next == kJune16Midnight ? kJune16Midnight - 1200 : now;
        m.apply(snapshotOf(c.sessions), at(seen));
        const Instant next = m.nextClockChange(c.expanded, at(seen));
        EXPECT_NEAR(unixSeconds(next), c.next, 1e-6) << c.name;
    }

    // At midnight today's totals start again without a new snapshot.
    ContextModel m = model();
    m.apply(snapshotOf({session("late", kJune16Midnight - 600, 70)}), at(kJune16Midnight - 60));
    EXPECT_EQ(m.tokensToday(), 70);
    m.rollOver(at(kJune16Midnight + 1));
    EXPECT_EQ(m.tokensToday(), 0);
    EXPECT_EQ(m.workedToday(), 0);
}

}  // namespace
}  // namespace wren
