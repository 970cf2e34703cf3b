#include "desktop/live_island.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <atomic>
#include <fstream>
#include <memory>

#include "models/island_model.h"
#include "temp_dir.h"

namespace wren {
namespace {

// The wiring from a written transcript to a snapshot read off the GUI thread: the watch, the
// notifier, the pacer and the widget's refresh.
TEST(LiveIsland, AWrittenTranscriptIsReadAndTheClockIsArmed) {
    testing::TempDir home;
    std::filesystem::create_directories(home / "projects/-w-app");
    auto reads = std::make_shared<std::atomic<int>>(0);
    WrenContextWidget::Options options;
    options.reader = [reads] {
        ++*reads;
        return MachineSnapshot{};
    };
    options.setup = ContextModel::Setup{LocalCalendar("UTC"), std::nullopt, {}};
    IslandModel model(std::move(options));
    LiveIsland live(model, {home / "projects"});
    QSignalSpy finished(&model.widget(), &WrenContextWidget::refreshFinished);

    std::ofstream(home / "projects/-w-app/s.jsonl", std::ios::app) << "{}\n";
    ASSERT_TRUE(finished.wait(10'000)) << "a change is read";
    EXPECT_EQ(*reads, 1);
    EXPECT_EQ(live.changeRefreshes(), 1);

    // A second change right after is read too, once the pace allows.
    std::ofstream(home / "projects/-w-app/s.jsonl", std::ios::app) << "{}\n";
    ASSERT_TRUE(finished.wait(10'000)) << "the last line is read";
    EXPECT_EQ(*reads, 2);
}

}  // namespace
}  // namespace wren
