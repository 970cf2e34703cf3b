#include "models/island_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <memory>

#include "core/island/island_geometry.h"
#include "desktop/island_panel.h"

namespace wren {
namespace {

constexpr double kNow = 1718438400;

SessionSummary session(std::string id, double secondsAgo) {
    SessionSummary s;
    s.id = std::move(id);
    s.lastActivity = instantFromUnix(kNow - secondsAgo);
    return s;
}

struct Counted {
    std::shared_ptr<std::atomic<int>> reads = std::make_shared<std::atomic<int>>(0);

    WrenContextWidget::Options options() const {
        WrenContextWidget::Options o;
        o.reader = [reads = reads] {
            ++*reads;
            MachineSnapshot snapshot;
            for (int i = 0; i < 5; ++i)
                snapshot.sessions.push_back(session("s" + std::to_string(i), i));
            return snapshot;
        };
        o.clock = [] { return instantFromUnix(kNow); };
        o.setup = ContextModel::Setup{LocalCalendar("UTC"), std::nullopt, {}};
        return o;
    }
};

TEST(IslandModel, SizesFollowTheStateAndTheNotch) {
    Counted counted;
    IslandModel model(counted.options());
    model.widget().refreshNow();
    QSignalSpy metrics(&model, &IslandModel::metricsChanged);

    // Same size, other physical flag: nothing to announce.
    model.update(NotchMetrics{{190, 32}, true});
    EXPECT_EQ(metrics.count(), 0);
    EXPECT_FALSE(model.metrics().isPhysical);

    model.update(NotchMetrics{{192, 38}, true});
    EXPECT_EQ(metrics.count(), 1);
    EXPECT_EQ(model.bodySize(), (Size{480, 62}));
    model.setExpanded(true);
    EXPECT_EQ(model.bodySize(), (Size{480, 185}));  // 38 + 22 + 5 × 25
    EXPECT_EQ(model.hitRect(Rect{0, 0, 1512, 982}), (Rect{506, 0, 500, 211}));
}

TEST(IslandModel, CollapsingClearsTheSelection) {
    Counted counted;
    IslandModel model(counted.options());
    model.widget().refreshNow();
    QSignalSpy expanded(&model, &IslandModel::expandedChanged);

    model.widget().toggleSelection("s1");
    model.setExpanded(false);  // already collapsed: the selection stays
    EXPECT_EQ(model.widget().selectedID(), "s1");
    EXPECT_EQ(expanded.count(), 0);

    model.setExpanded(true);
    model.setExpanded(false);
    EXPECT_FALSE(model.widget().selectedID());
    EXPECT_EQ(expanded.count(), 2);
}

TEST(IslandModel, HoveringRefreshesOncePerArrival) {
    Counted counted;
    IslandModel model(counted.options());
    QSignalSpy finished(&model.widget(), &WrenContextWidget::refreshFinished);
    QSignalSpy hovering(&model, &IslandModel::hoveringChanged);

    model.setHovering(true);
    model.setHovering(true);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(*counted.reads, 1);
    EXPECT_EQ(hovering.count(), 1);
    EXPECT_EQ(model.bodySize(), (Size{480, 59}));

    model.setHovering(false);
    EXPECT_EQ(*counted.reads, 1);
    EXPECT_EQ(model.bodySize(), (Size{480, 56}));
}

// Rows added after start-up used to be cut off: the open window follows the list.
TEST(IslandModel, TheWindowFollowsTheNumberOfRows) {
    anim::Animator::instance().setDisabled(true);  // every change lands at once
    Counted counted;
    IslandModel model(counted.options());
    IslandPanel panel(model);
    panel.placeOn(Rect{0, 0, 1920, 1080});
    model.setExpanded(true);
    QSignalSpy height(&model, &IslandModel::openHeightChanged);
    const auto snapshotOf = [](int rows) {
        MachineSnapshot snapshot;
        for (int i = 0; i < rows; ++i)
            snapshot.sessions.push_back(session("r" + std::to_string(i), i));
        return snapshot;
    };

    model.widget().refreshNow(snapshotOf(2));
    const qsizetype afterTwo = height.count();
    EXPECT_EQ(afterTwo, 1);
    EXPECT_EQ(panel.height(), 144);  // ceil(104 × 1.04 + 35)
    model.widget().refreshNow(snapshotOf(2));
    EXPECT_EQ(height.count(), afterTwo) << "the same number of rows changes nothing";

    model.widget().refreshNow(snapshotOf(7));
    EXPECT_EQ(height.count(), afterTwo + 1);
    EXPECT_EQ(model.openHeight(), 32 + 22 + 7 * 25);
    EXPECT_EQ(panel.height(), 274);  // ceil(229 × 1.04 + 35)
    EXPECT_EQ(panel.y(), 0) << "still hanging from the top";

    model.widget().toggleSelection("r3");
    EXPECT_EQ(height.count(), afterTwo + 2) << "the detail takes room too";
    EXPECT_EQ(panel.height(), 420);  // ceil(370 × 1.04 + 35)
    anim::Animator::instance().setDisabled(false);
}

}  // namespace
}  // namespace wren
