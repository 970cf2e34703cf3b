#include "core/island/island_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/island/island_geometry.h"

namespace wren {
namespace {

constexpr double kDwell = IslandController::kOpenDwell;
constexpr double kGrace = IslandController::kCloseGrace;

// The model's semantics the controller relies on, over the real geometry, with a record of what
// it was told.
struct FakePort final : IslandPort {
    IslandState model;
    double expandedHeight = 185;
    std::optional<NotchMetrics> housing;  // a screen with a camera housing, which Linux can't see
    bool selected = false;
    int refreshes = 0, opens = 0, writes = 0, measures = 0;
    std::vector<Rect> placed;
    std::optional<bool> clickable, polling;

    bool isExpanded() const override { return model.isExpanded; }
    bool isHovering() const override { return model.isHoveringCollapsed; }
    void setExpanded(bool expanded) override {
        ++writes;
        if (model.isExpanded == expanded) return;
        model.isExpanded = expanded;
        if (expanded)
            ++opens;
        else
            selected = false;
    }
    void setHovering(bool hovering) override {
        ++writes;
        if (model.isHoveringCollapsed == hovering) return;
        model.isHoveringCollapsed = hovering;
        if (hovering) ++refreshes;
    }
    Rect hitRect(const Rect& screen) const override {
        return IslandGeometry::hitRect(model, expandedHeight, screen);
    }
    void updateMetrics(const NotchMetrics& metrics) override {
        ++writes, ++measures;
        model.metrics = housing.value_or(metrics);
    }
    void placePanel(const Rect& screen) override { ++writes, placed.push_back(screen); }
    void setClickable(bool value) override { ++writes, clickable = value; }
    void setPolling(bool value) override { ++writes, polling = value; }
};

// A virtual clock: advance() runs what falls due in time order, ties in order of scheduling.
class FakeScheduler final : public Scheduler {
  public:
    int calls = 0;

    TaskId schedule(double delay, std::function<void()> task) override {
        ++calls;
        tasks_.emplace(++last_, Task{now_ + delay, std::move(task)});
        return last_;
    }
    void cancel(TaskId id) override {
        ++calls;
        // A task that ran must have forgotten its own id; cancelling it again is a fault.
        EXPECT_EQ(tasks_.erase(id), 1u) << "cancelled unknown task " << id;
    }
    void advance(double seconds) {
        const double until = now_ + seconds;
        for (;;) {
            const auto next = std::min_element(tasks_.begin(), tasks_.end(), [](auto& a, auto& b) {
                return a.second.due < b.second.due;
            });
            if (next == tasks_.end() || next->second.due > until) break;
            now_ = next->second.due;
            const auto run = std::move(next->second.run);
            tasks_.erase(next);
            run();
        }
        now_ = until;
    }
    std::size_t pending() const { return tasks_.size(); }

  private:
    struct Task {
        double due;
        std::function<void()> run;
    };
    std::map<TaskId, Task> tasks_;
    TaskId last_ = 0;
    double now_ = 0;
};

constexpr Rect kLeft{0, 0, 1920, 1080}, kRight{1920, 0, 1512, 982};
constexpr Point kOnLeft{960, 20}, kOffLeft{960, 500}, kOnRight{2676, 20}, kOffRight{2676, 500};

struct Rig {
    FakePort port;
    FakeScheduler clock;
    std::vector<ScreenFrame> screens{{1, kLeft, kLeft}, {2, kRight, kRight}};
    IslandController ctl;

    explicit Rig(bool pinned = false, std::optional<NotchMetrics> housing = {},
                 std::vector<ScreenFrame> frames = {})
        : ctl(port, clock, pinned, std::nullopt) {
        port.housing = housing;
        if (!frames.empty()) screens = std::move(frames);
        ctl.start(at(kOffLeft));
    }
    PointerSample at(Point p) const { return {p, screens, 0}; }
    void move(Point p) { ctl.pointerMoved(at(p)); }
};

// The state by every column of the controller's table at once, so a half-made transition shows.
std::string stateOf(const Rig& r) {
    const bool flags[] = {r.port.model.isHoveringCollapsed,
                          r.port.model.isExpanded,
                          r.ctl.hasPendingOpen(),
                          r.ctl.hasPendingClose(),
                          r.port.polling.value_or(false),
                          r.port.clickable.value_or(false),
                          r.ctl.isPointerAway()};
    struct Row {
        const char* name;
        bool flags[7];
    };
    // "Away": the pointer left the window where it cannot be followed outside it.
    static constexpr Row kTable[] = {
        {"Collapsed", {false, false, false, false, false, false, false}},
        {"Dwell", {true, false, true, false, true, false, false}},
        {"Open", {true, true, false, false, true, true, false}},
        {"Grace", {false, true, false, true, true, true, false}},
        {"Collapsed away", {false, false, false, false, false, false, true}},
        {"Grace away", {false, true, false, true, false, true, true}},
    };
    if (r.clock.pending() != std::size_t{flags[2]} + flags[3]) return "leaked task";
    for (const Row& row : kTable)
        if (std::equal(flags, flags + 7, row.flags)) return row.name;
    std::string odd = "odd:";
    for (bool f : flags) odd += f ? '1' : '0';
    return odd;
}

void enter(Rig& r, const std::string& state) {
    if (state.starts_with("Collapsed")) r.move(kOffLeft);
    if (!state.starts_with("Collapsed")) r.move(kOnLeft);
    if (state.starts_with("Open") || state.starts_with("Grace")) r.clock.advance(kDwell);
    if (state == "Grace") r.move(kOffLeft);
    if (state.ends_with("away")) r.ctl.pointerLeft();
    ASSERT_EQ(stateOf(r), state);
}

TEST(IslandController, EveryTransition) {
    // Away, In and Elsewhere are steps with a stale position; EnteredBeside enters the open
    // window beside its hit rectangle.
    enum Event {
        In,
        Out,
        Left,
        OpenFires,
        CloseFires,
        ElsewhereOff,
        ElsewhereOn,
        Entered,
        EnteredBeside
    };
    const std::function<void(Rig&)> kEvents[] = {
        [](Rig& r) { r.move(kOnLeft); },
        [](Rig& r) { r.move(kOffLeft); },
        [](Rig& r) { r.ctl.pointerLeft(); },
        [](Rig& r) { r.clock.advance(kDwell); },
        [](Rig& r) { r.clock.advance(kGrace); },
        [](Rig& r) { r.move(kOffRight); },
        [](Rig& r) { r.move(kOnRight); },
        [](Rig& r) { r.ctl.pointerEntered(r.at(kOnLeft)); },
        [](Rig& r) {
            r.ctl.pointerEntered(r.at({960, 380}));
        },
    };
    struct Case {
        const char* from;
        Event event;
        const char* to;
        int refreshes;
        bool quiet;  // nothing new: no write to the port, nothing scheduled or cancelled
        bool moved;
    };
    const Case cases[] = {
        {"Collapsed", In, "Dwell", 1, false, false},
        {"Collapsed", Out, "Collapsed", 0, true, false},
        {"Collapsed", Left, "Collapsed away", 0, true, false},
        {"Collapsed", Entered, "Dwell", 1, false, false},
        {"Dwell", In, "Dwell", 0, true, false},
        {"Dwell", Out, "Collapsed", 0, false, false},
        {"Dwell", Left, "Collapsed away", 0, false, false},
        {"Dwell", OpenFires, "Open", 0, false, false},
        {"Open", In, "Open", 0, true, false},
        {"Open", Out, "Grace", 0, false, false},
        {"Open", Left, "Grace away", 0, false, false},
        {"Grace", In, "Open", 1, false, false},
        {"Grace", Out, "Grace", 0, true, false},
        {"Grace", Left, "Grace away", 0, false, false},
        {"Grace", CloseFires, "Collapsed", 0, false, false},
        // Away, only an enter counts: a stale position inside never opens or keeps it open,
        // one on another screen never moves it.
        {"Collapsed away", In, "Collapsed away", 0, true, false},
        {"Collapsed away", ElsewhereOn, "Collapsed away", 0, true, false},
        {"Collapsed away", Left, "Collapsed away", 0, true, false},
        {"Collapsed away", Entered, "Dwell", 1, false, false},
        {"Grace away", In, "Grace away", 0, true, false},
        {"Grace away", ElsewhereOff, "Grace away", 0, true, false},
        {"Grace away", Entered, "Open", 1, false, false},
        {"Grace away", EnteredBeside, "Grace", 0, false, false},
        {"Grace away", CloseFires, "Collapsed away", 0, false, false},
        {"Collapsed", ElsewhereOff, "Collapsed", 0, false, true},
        {"Dwell", ElsewhereOff, "Collapsed", 0, false, true},
        {"Open", ElsewhereOff, "Collapsed", 0, false, true},
        {"Grace", ElsewhereOff, "Collapsed", 0, false, true},
        {"Dwell", ElsewhereOn, "Dwell", 1, false, true},
        {"Open", ElsewhereOn, "Dwell", 1, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " event " + std::to_string(c.event));
        Rig r;
        enter(r, c.from);
        const bool wasOpen = r.port.model.isExpanded;
        r.port.selected = wasOpen;
        const FakePort before = r.port;
        const int clockCalls = r.clock.calls;

        kEvents[c.event](r);

        EXPECT_EQ(stateOf(r), c.to);
        EXPECT_EQ(r.port.refreshes - before.refreshes, c.refreshes);
        EXPECT_EQ(r.port.selected, wasOpen && r.port.model.isExpanded);  // only a collapse clears
        if (c.quiet) {
            EXPECT_EQ(r.port.writes, before.writes);
            EXPECT_EQ(r.clock.calls, clockCalls);
        }
        EXPECT_EQ(r.port.placed.size() - before.placed.size(), c.moved ? 1u : 0u);
        EXPECT_EQ(r.port.measures - before.measures, c.moved ? 1 : 0);
        EXPECT_EQ(r.ctl.currentScreen()->id, c.moved ? 2u : 1u);
        if (c.moved) {
            EXPECT_EQ(r.port.placed.back(), kRight);
        }
    }
}

TEST(IslandController, EnteringAndLeavingWithinTheDwellNeverOpens) {
    Rig r;
    r.move(kOnLeft);
    r.clock.advance(kDwell - 0.01);
    r.move(kOffLeft);
    r.clock.advance(1);
    EXPECT_EQ(stateOf(r), "Collapsed");
    EXPECT_EQ(r.port.opens, 0);
    EXPECT_EQ(r.port.refreshes, 1);
}

TEST(IslandController, ReturningWithinTheGraceKeepsItOpenAndTheSelection) {
    for (const double away : {kGrace - 0.01, kGrace}) {
        SCOPED_TRACE(away);
        const bool inTime = away < kGrace;
        Rig r;
        enter(r, "Open");
        r.port.selected = true;
        r.move(kOffLeft);
        r.clock.advance(away);
        r.move(kOnLeft);
        EXPECT_EQ(stateOf(r), inTime ? "Open" : "Dwell");
        r.clock.advance(1);
        EXPECT_EQ(stateOf(r), "Open");
        EXPECT_EQ(r.port.selected, inTime);
        EXPECT_EQ(r.port.opens, inTime ? 1 : 2);
    }
}

TEST(IslandController, AnotherScreenStartsOverWithAFreshDwell) {
    // Open on the left with a selection: collapsed, cleared and moved on the way over.
    Rig open;
    enter(open, "Open");
    open.port.selected = true;
    open.move(kOnRight);
    EXPECT_EQ(stateOf(open), "Dwell");
    EXPECT_FALSE(open.port.selected);
    EXPECT_EQ(open.port.placed.back(), kRight);
    open.clock.advance(kDwell - 0.01);
    EXPECT_EQ(stateOf(open), "Dwell");
    open.clock.advance(0.02);
    EXPECT_EQ(stateOf(open), "Open");

    // Halfway through a dwell on the left: the time spent there does not count.
    Rig half;
    half.move(kOnLeft);
    half.clock.advance(0.15);
    half.move(kOnRight);
    half.clock.advance(0.1);
    EXPECT_EQ(stateOf(half), "Dwell");
    half.clock.advance(0.15);
    EXPECT_EQ(stateOf(half), "Open");
}

TEST(IslandController, DwellAndGraceCountFromTheFirstStep) {
    Rig r;
    r.move(kOnLeft);
    r.clock.advance(0.1);
    r.move({1000, 30});
    r.clock.advance(0.1);
    r.move({900, 10});
    EXPECT_EQ(stateOf(r), "Dwell");
    r.clock.advance(0.05);  // 0.25 s after entering, 0.05 s after the last step
    EXPECT_EQ(stateOf(r), "Open");

    r.move(kOffLeft);
    r.clock.advance(0.1);
    r.move({300, 700});
    r.clock.advance(0.05);
    EXPECT_EQ(stateOf(r), "Collapsed");
}

TEST(IslandController, HitAreaOnA38PointNotch) {
    // Collapsed: the 480 × 62 body plus 6 on each side and 10 below. Open: 500 × 211.
    const Rect screen{100, 50, 1512, 982};
    struct Case {
        bool open;
        Point pointer;
        bool inside;
    };
    const Case cases[] = {
        {false, {856, 121.5}, true}, {false, {856, 122}, false},  {false, {610, 60}, true},
        {false, {609.5, 60}, false}, {false, {1101.5, 60}, true}, {false, {1102, 60}, false},
        {false, {856, 50}, true},    {false, {856, 49.5}, false}, {true, {856, 260.5}, true},
        {true, {856, 261}, false},   {true, {606, 100}, true},    {true, {1106, 100}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.open << " " << c.pointer.x << "," << c.pointer.y);
        Rig r(false, NotchMetrics{{192, 38}, true}, {{7, screen, screen}});
        if (c.open) {
            r.move({856, 60});
            r.clock.advance(kDwell);
        }
        r.move(c.pointer);
        EXPECT_EQ(stateOf(r),
                  c.open ? (c.inside ? "Open" : "Grace") : (c.inside ? "Dwell" : "Collapsed"));
    }
}

TEST(IslandController, PinnedOpenOpensAtStartAndNeverReacts) {
    Rig r(true);
    EXPECT_TRUE(r.port.model.isExpanded);
    EXPECT_TRUE(r.port.model.isHoveringCollapsed);
    EXPECT_EQ(r.port.refreshes, 1);
    EXPECT_EQ(r.port.clickable, false);
    EXPECT_EQ(r.port.polling, std::nullopt);

    const int writes = r.port.writes;
    r.move(kOnLeft);
    r.move(kOffLeft);
    r.ctl.pointerLeft();
    r.move(kOnRight);
    r.clock.advance(1);
    EXPECT_EQ(r.port.writes, writes);
    EXPECT_EQ(r.clock.calls, 0);
    EXPECT_EQ(r.ctl.currentScreen()->id, 1u);

    r.ctl.screensChanged(r.at(kOffRight));
    EXPECT_EQ(r.port.placed.back(), kRight);
    EXPECT_TRUE(r.port.model.isExpanded);
    EXPECT_EQ(r.port.clickable, false);
}

TEST(IslandController, ScreensChangedMovesButKeepsTheState) {
    for (const std::string state : {"Dwell", "Grace"}) {
        SCOPED_TRACE(state);
        Rig r;
        enter(r, state);
        const int measures = r.port.measures;
        r.ctl.screensChanged(r.at(kOffRight));
        EXPECT_EQ(r.ctl.currentScreen()->id, 2u);
        EXPECT_EQ(r.port.placed.back(), kRight);
        EXPECT_EQ(r.port.measures, measures + 1);
        EXPECT_EQ(stateOf(r), state);
        r.clock.advance(1);  // what was pending still happens
        EXPECT_EQ(stateOf(r), state == "Dwell" ? "Open" : "Collapsed");
    }
}

TEST(IslandController, ScreensAreKnownByIdAndThePinComesFirst) {
    // The left screen shrinks under the same id: not a move, and its new frame is hit-tested.
    Rig resized;
    enter(resized, "Open");
    resized.screens[0].frame.width = 1280;
    resized.screens[0].area.width = 1280;
    resized.move({640, 20});  // on the island of the new frame, off that of the old
    EXPECT_EQ(stateOf(resized), "Open");
    EXPECT_EQ(resized.port.placed.size(), 1u);

    // Another screen in exactly the same place is a move.
    Rig replaced;
    enter(replaced, "Open");
    replaced.screens[0].id = 9;
    replaced.move(kOnLeft);
    EXPECT_EQ(stateOf(replaced), "Dwell");
    EXPECT_EQ(replaced.ctl.currentScreen()->id, 9u);

    // More screens than fit on the stack: the pointer still finds the one it is on.
    std::vector<ScreenFrame> many;
    for (std::uintptr_t i = 0; i < 20; ++i) {
        const Rect frame{1000.0 * static_cast<double>(i), 0, 1000, 800};
        many.push_back({i + 100, frame, frame});
    }
    Rig wide(false, {}, many);
    wide.move({18500, 10});
    EXPECT_EQ(wide.ctl.currentScreen()->id, 118u);
    EXPECT_EQ(stateOf(wide), "Dwell");

    // A pinned screen wins over the pointer.
    FakePort port;
    FakeScheduler clock;
    const std::vector<ScreenFrame> two{{1, kLeft, kLeft}, {2, kRight, kRight}};
    IslandController pinned(port, clock, false, 1);
    pinned.start({kOnLeft, two, 0});
    pinned.pointerMoved({kOnLeft, two, 0});
    EXPECT_EQ(pinned.currentScreen()->id, 2u);
    EXPECT_FALSE(port.model.isHoveringCollapsed);
}

TEST(IslandController, HangsInTheAreaButFollowsTheWholeScreen) {
    // The right screen has a 32-high top panel: the island hangs below it.
    const Rect belowPanel{1920, 32, 1512, 950};
    Rig r(false, {}, {{1, kLeft, kLeft}, {2, kRight, belowPanel}});
    r.move({2676, 10});  // on the right screen's panel: the island moves there, but stays shut
    EXPECT_EQ(r.ctl.currentScreen()->id, 2u);
    EXPECT_EQ(r.port.placed.back(), belowPanel);
    EXPECT_EQ(stateOf(r), "Collapsed");
    r.move({2676, 40});
    EXPECT_EQ(stateOf(r), "Dwell");

    // The panel goes away on the same screen: hit-tested at once, placed by screensChanged.
    r.screens[1].area = kRight;
    r.move({2676, 10});
    EXPECT_EQ(stateOf(r), "Dwell");
    EXPECT_EQ(r.port.placed.back(), belowPanel);
    r.ctl.screensChanged(r.at({2676, 10}));
    EXPECT_EQ(r.port.placed.back(), kRight);
}

TEST(IslandController, NothingBeforeStartNothingAfterDestruction) {
    FakePort port;
    FakeScheduler clock;
    const std::vector<ScreenFrame> two{{1, kLeft, kLeft}, {2, kRight, kRight}};
    {
        IslandController idle(port, clock, false, std::nullopt);
        idle.pointerMoved({kOnLeft, two, 0});
        idle.pointerLeft();
        idle.screensChanged({kOnLeft, two, 0});
        EXPECT_EQ(port.writes, 0);
        EXPECT_FALSE(idle.currentScreen());
    }
    {
        IslandController dwelling(port, clock, false, std::nullopt);
        dwelling.start({kOnLeft, two, 0});
        dwelling.pointerMoved({kOnLeft, two, 0});
        ASSERT_TRUE(dwelling.hasPendingOpen());
    }
    EXPECT_EQ(clock.pending(), 0u);
    clock.advance(1);
    EXPECT_FALSE(port.model.isExpanded);

    {
        IslandController leaving(port, clock, false, std::nullopt);
        leaving.start({kOnLeft, two, 0});
        leaving.pointerMoved({kOnLeft, two, 0});
        clock.advance(kDwell);
        leaving.pointerMoved({kOffLeft, two, 0});
        ASSERT_TRUE(leaving.hasPendingClose());
    }
    EXPECT_EQ(clock.pending(), 0u);
    clock.advance(1);
    EXPECT_TRUE(port.model.isExpanded);
}

}  // namespace
}  // namespace wren
