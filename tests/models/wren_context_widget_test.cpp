#include "models/wren_context_widget.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "session_lists.h"

namespace wren {
namespace {

using testing::ids;
using testing::snapshotOf;

constexpr double kNow = 1718438400;  // 2024-06-15T10:00+02:00

SessionSummary session(std::string id, double secondsAgo, std::int64_t tokens) {
    SessionSummary s;
    s.id = std::move(id);
    s.lastActivity = instantFromUnix(kNow - secondsAgo);
    s.reportedTokens = tokens;
    return s;
}

WrenContextWidget::Options options(WrenContextWidget::SnapshotReader reader,
                                   std::optional<std::int64_t> pinned = std::nullopt) {
    WrenContextWidget::Options o;
    o.reader = std::move(reader);
    o.clock = [] { return instantFromUnix(kNow); };
    o.setup = ContextModel::Setup{
        LocalCalendar("Europe/Berlin"),
        pinned,
        {session("demo-old", 600, 1), session("demo-b", 60, 2), session("demo-a", 60, 4)}};
    return o;
}

// A reader that blocks until released, counting its calls and the threads it ran on.
struct GatedReader {
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::atomic<int> calls{0};
    std::atomic<int> returned{0};
    std::atomic<bool> ranOnGuiThread{false};
    MachineSnapshot result;

    WrenContextWidget::SnapshotReader reader(const std::shared_ptr<GatedReader>& self) {
        return [self] {
            ++self->calls;
            if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
                self->ranOnGuiThread = true;
            }
            self->gate.wait();
            ++self->returned;
            return self->result;
        };
    }
};

bool waitFor(const std::function<bool()>& done, int ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QTest::qWait(5);
    }
    return true;
}

TEST(WrenContextWidget, StartsWithTheDemoListInSessionOrder) {
    WrenContextWidget widget(options([] { return MachineSnapshot{}; }));
    EXPECT_EQ(ids(widget.sessions()), (std::vector<std::string>{"demo-a", "demo-b", "demo-old"}));
    EXPECT_EQ(widget.property("id").toString(), "com.wren.context");
    EXPECT_EQ(widget.property("title").toString(), "WrenMem");
    EXPECT_EQ(widget.property("tokensToday").toLongLong(), 0);
    // Samples: recent as they look, they count for nothing.
    EXPECT_TRUE(widget.showsSamples());
    EXPECT_EQ(widget.property("activeCount").toLongLong(), 0);
    EXPECT_EQ(widget.active()->id, "demo-a");

    // The real demo list, as the island shows it before the first snapshot.
    WrenContextWidget real;
    EXPECT_EQ(real.sessions().size(), SessionSummary::demo().size());
    EXPECT_TRUE(std::is_sorted(real.sessions().begin(), real.sessions().end(), newestFirst));
}

TEST(WrenContextWidget, RefreshReadsOnceOffTheGuiThreadAndAppliesOnIt) {
    auto gated = std::make_shared<GatedReader>();
    gated->result = snapshotOf({session("s1", 120, 300), session("s2", 3600, 700)});
    gated->result.installs.wrenMem = true;
    WrenContextWidget widget(options(gated->reader(gated)));

    std::vector<bool> notifiedOnGuiThread;
    QObject::connect(&widget, &WrenContextWidget::sessionsChanged, [&] {
        notifiedOnGuiThread.push_back(QThread::currentThread() == qApp->thread());
    });
    QSignalSpy finished(&widget, &WrenContextWidget::refreshFinished);

    widget.refresh();
    widget.refresh();
    EXPECT_TRUE(widget.isRefreshing());
    ASSERT_TRUE(waitFor([&] { return gated->calls == 1; }));
    widget.refresh();  // during the read: dropped, not queued
    EXPECT_TRUE(notifiedOnGuiThread.empty());
    EXPECT_EQ(ids(widget.sessions()).front(), "demo-a");

    gated->release.set_value();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(gated->calls, 1);
    EXPECT_FALSE(gated->ranOnGuiThread);
    EXPECT_EQ(notifiedOnGuiThread, std::vector<bool>{true});
    EXPECT_FALSE(widget.isRefreshing());
    EXPECT_EQ(ids(widget.sessions()), (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(widget.tokensToday(), 1000);
    EXPECT_EQ(widget.workedToday(), 3600);
    EXPECT_TRUE(widget.installs().wrenMem);

    // Once the read is back, the next refresh reads again.
    widget.refresh();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(gated->calls, 2);
    QTest::qWait(50);
    EXPECT_EQ(gated->calls, 2);
}

TEST(WrenContextWidget, AHungReadNeverBlocksTheGuiThread) {
    auto gated = std::make_shared<GatedReader>();
    auto widget = std::make_unique<WrenContextWidget>(options(gated->reader(gated)));
    widget->refresh();
    ASSERT_TRUE(waitFor([&] { return gated->calls == 1; }));

    // The event loop keeps running, and further refreshes return at once without reading.
    bool ticked = false;
    QTimer::singleShot(10, [&] { ticked = true; });
    EXPECT_TRUE(waitFor([&] { return ticked; }, 2000));
    widget->refresh();
    EXPECT_TRUE(widget->isRefreshing());

    // Even destroying the widget does not wait for the read.
    const auto start = std::chrono::steady_clock::now();
    widget.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));

    // The late snapshot has nobody to go to; letting the thread finish must not touch the widget.
    gated->release.set_value();
    ASSERT_TRUE(waitFor([&] { return gated->returned == 1; }));
    QTest::qWait(50);
    EXPECT_EQ(gated->calls, 1);
}

TEST(WrenContextWidget, AThrowingReadStillEndsTheRefresh) {
    std::atomic<int> calls{0};
    WrenContextWidget widget(options([&]() -> MachineSnapshot {
        ++calls;
        throw std::runtime_error("disk on fire");
    }));
    QSignalSpy finished(&widget, &WrenContextWidget::refreshFinished);
    QSignalSpy sessions(&widget, &WrenContextWidget::sessionsChanged);
    widget.refresh();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(widget.isRefreshing());
    EXPECT_EQ(sessions.count(), 0);
    widget.refresh();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(calls, 2);
}

TEST(WrenContextWidget, RefreshNowAppliesAtOnceAndNotifiesOnlyChanges) {
    MachineSnapshot snapshot = snapshotOf({session("a", 60, 10), session("b", 120, 20)});
    snapshot.windows[Agent::claude] = RateWindow{12.5, 300, std::nullopt};
    snapshot.installs.agents = {Agent::codex};
    WrenContextWidget widget(options([&] { return snapshot; }, 1));

    QSignalSpy sessions(&widget, &WrenContextWidget::sessionsChanged);
    QSignalSpy tokens(&widget, &WrenContextWidget::tokensTodayChanged);
    QSignalSpy worked(&widget, &WrenContextWidget::workedTodayChanged);
    QSignalSpy windows(&widget, &WrenContextWidget::windowsChanged);
    QSignalSpy installs(&widget, &WrenContextWidget::installsChanged);
    QSignalSpy selected(&widget, &WrenContextWidget::selectedIDChanged);

    widget.refreshNow();
    EXPECT_FALSE(widget.isRefreshing());
    EXPECT_EQ(ids(widget.sessions()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(widget.property("tokensToday").toLongLong(), 30);
    EXPECT_EQ(widget.property("workedToday").toDouble(), 120);
    EXPECT_EQ(widget.property("selectedID").value<std::optional<std::string>>(), "b");
    EXPECT_EQ(widget.windows().at(Agent::claude).reportedPercent, 12.5);
    EXPECT_EQ(widget.installs().agents, std::set<Agent>{Agent::codex});
    const std::vector<qsizetype> once = {sessions.count(), tokens.count(),   worked.count(),
                                         windows.count(),  installs.count(), selected.count()};
    EXPECT_EQ(once, (std::vector<qsizetype>{1, 1, 1, 1, 1, 1}));

    // The same snapshot again: the list is re-announced, unchanged values are not.
    widget.refreshNow();
    const std::vector<qsizetype> twice = {sessions.count(), tokens.count(),   worked.count(),
                                          windows.count(),  installs.count(), selected.count()};
    EXPECT_EQ(twice, (std::vector<qsizetype>{2, 1, 1, 1, 1, 1}));
}

TEST(WrenContextWidget, ToggleSelectionNotifiesAndResizes) {
    WrenContextWidget widget(options([] { return MachineSnapshot{}; }));
    QSignalSpy selected(&widget, &WrenContextWidget::selectedIDChanged);
    EXPECT_EQ(widget.expandedHeight(32), 32 + 22 + 3 * 25);
    widget.toggleSelection("demo-b");
    EXPECT_EQ(widget.selectedID(), "demo-b");
    EXPECT_EQ(widget.expandedHeight(32), 32 + 22 + 3 * 25 + 141);
    widget.toggleSelection("demo-b");
    EXPECT_EQ(widget.selectedID(), std::nullopt);
    EXPECT_EQ(selected.count(), 2);
}

}  // namespace
}  // namespace wren
