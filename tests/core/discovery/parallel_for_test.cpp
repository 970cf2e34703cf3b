#include "core/discovery/parallel_for.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/discovery/profile.h"

namespace wren {
namespace {

TEST(ParallelFor, RunsEveryIndexExactlyOnceAndJoinsBeforeReturning) {
    for (const std::size_t count : {0u, 1u, 2u, 3u, 7u, 64u, 5000u}) {
        // Plain counters: only the join makes the workers' writes visible here, and a second
        // run of one index would show as 2 (and as a race under ThreadSanitizer).
        std::vector<int> runs(count, 0);
        parallelFor(count, [&](std::size_t i) { runs[i] += 1; });
        EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), static_cast<std::ptrdiff_t>(count))
            << count;
    }
}

TEST(ParallelFor, WidthIsBoundedByTheItemsTheMachineAndTheCaller) {
    const auto threadsUsed = [](std::size_t count,
                                std::size_t maxWidth = std::numeric_limits<std::size_t>::max()) {
        std::mutex mutex;
        std::set<std::thread::id> ids;
        parallelFor(
            count,
            [&](std::size_t) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));  // let all join in
                const std::lock_guard lock(mutex);
                ids.insert(std::this_thread::get_id());
            },
            maxWidth);
        return ids;
    };
    const std::set<std::thread::id> one = threadsUsed(1);
    EXPECT_EQ(one, std::set<std::thread::id>{std::this_thread::get_id()})
        << "a single item runs on the calling thread";

    const std::size_t width = std::max(1u, std::thread::hardware_concurrency());
    EXPECT_LE(threadsUsed(2).size(), std::min<std::size_t>(2, width));
    const std::set<std::thread::id> many = threadsUsed(40);
    EXPECT_LE(many.size(), width);
    EXPECT_TRUE(many.count(std::this_thread::get_id())) << "the caller works too";
    if (width > 1) {
        EXPECT_GT(many.size(), 1u) << "the items were spread over threads";
    }
    EXPECT_EQ(threadsUsed(40, 1), std::set<std::thread::id>{std::this_thread::get_id()})
        << "a width of one runs every item on the calling thread";
    EXPECT_LE(threadsUsed(40, 2).size(), 2u);
}

// A throw on a helper thread used to end the process; it must reach the caller after the join,
// whichever thread threw, and the loop must stop handing out items.
TEST(ParallelFor, AnExceptionOnAnyThreadReachesTheCallerAfterTheJoin) {
    const std::thread::id caller = std::this_thread::get_id();
    for (const bool onHelpers : {true, false}) {
        std::atomic<int> running{0};
        std::atomic<int> started{0};
        const auto body = [&](std::size_t) {
            ++started;
            ++running;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --running;
            const bool here = std::this_thread::get_id() == caller;
            if (here != onHelpers) {
                throw std::runtime_error(onHelpers ? "helper" : "caller");
            }
        };
        if (onHelpers && std::thread::hardware_concurrency() < 2) continue;  // no helper to throw
        try {
            parallelFor(200, body);
            ADD_FAILURE() << "no exception reached the caller";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), onHelpers ? "helper" : "caller");
        }
        EXPECT_EQ(running, 0) << "every item had finished when the exception arrived";
        EXPECT_LT(started, 200) << "the failure stopped the loop";
    }
}

TEST(SpanTable, RecordsFromManyThreadsAddUp) {
    Profile::SpanTable table;
    parallelFor(4000, [&](std::size_t i) { table.record(i % 2 ? "odd" : "even", 3); });
    const std::vector<Profile::SpanTotal> spans = table.takeAll();
    ASSERT_EQ(spans.size(), 2u);
    for (const Profile::SpanTotal& span : spans) {
        EXPECT_EQ(span.calls, 2000) << span.name;
        EXPECT_EQ(span.nanos, 6000u) << span.name;
    }
}

}  // namespace
}  // namespace wren
