#include "core/island/island_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

#include "core/island/notch_metrics.h"

namespace wren {
namespace {

TEST(NotchMetrics, MeasuresOnlyARealHousing) {
    struct Case {
        double frame;
        std::optional<double> left, right;
        double top;
        NotchMetrics expected;
    };
    const NotchMetrics fallback = NotchMetrics::fallback();
    const Case cases[] = {
        {1512, 660, 660, 38, {{192, 38}, true}},
        {1512, std::nullopt, std::nullopt, 38, fallback},  // an external display
        {1512, 660, std::nullopt, 38, fallback},
        {1321, 660, 660, 38, fallback},  // exactly one point wide
        {1512, 660, 660, 1, fallback},   // exactly one point high
    };
    for (const Case& c : cases) {
        const NotchMetrics m = NotchMetrics::measure(c.frame, c.left, c.right, c.top);
        EXPECT_EQ(m.bodySize, c.expected.bodySize) << c.frame << " " << c.top;
        EXPECT_EQ(m.isPhysical, c.expected.isPhysical) << c.frame << " " << c.top;
    }
    EXPECT_EQ(fallback.bodySize, (Size{190, 32}));
    EXPECT_FALSE(NotchMetrics::forScreen().isPhysical);
}

TEST(ScreenChoice, PinnedScreenThenPointerThenPrimary) {
    // Two screens side by side, the second one taller and starting lower on the desktop.
    const std::array<Rect, 2> two{Rect{0, 0, 1920, 1080}, Rect{1920, 100, 1280, 1200}};
    const std::array<Rect, 1> one{Rect{0, 0, 1920, 1080}};
    struct Case {
        std::span<const Rect> screens;
        Point pointer;
        std::optional<std::int64_t> pinned;
        std::optional<std::size_t> primary;
        std::size_t expected;
    };
    const Case cases[] = {
        {two, {10, 10}, 1, 0, 1},                        // pinned wins wherever the pointer is
        {one, {10, 10}, 1, 0, 0},                        // pinned past the end: the pointer decides
        {two, {2000, 500}, -1, 0, 1},                    // negative pin ignored
        {two, {2000, 100}, std::nullopt, 0, 1},          // the top row of a screen belongs to it
        {two, {2000, 99}, std::nullopt, 1, 1},           // above the second screen: on no screen
        {two, {1920, 50}, std::nullopt, 0, 0},           // the left edge of the second screen...
        {two, {1919.5, 50}, std::nullopt, 1, 0},         // ...and the first screen's last column
        {two, {1919, 1080}, std::nullopt, 1, 1},         // a bottom edge is outside: primary
        {two, {-5, -5}, std::nullopt, std::nullopt, 0},  // nowhere, no primary: the first
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScreenChoice::screenUnderPointer(c.screens, c.pointer, c.pinned, c.primary),
                  c.expected)
            << c.pointer.x << "," << c.pointer.y;
    }
}

TEST(IslandGeometry, BodyAndHitRectangle) {
    const Rect screen{100, 50, 1512, 982};
    const NotchMetrics notch38{{192, 38}, true};
    struct Case {
        IslandState state;
        double expandedHeight;
        Size body;
        Rect hit;
    };
    const Case cases[] = {
        {{false, false, notch38}, 999, {480, 62}, {856 - 246, 50, 492, 72}},
        {{false, true, notch38}, 999, {480, 65}, {856 - 246, 50, 492, 72}},  // no hover growth
        {{true, true, notch38}, 185, {480, 185}, {856 - 250, 50, 500, 211}},
        {{false, false, {}}, 999, {480, 56}, {856 - 246, 50, 492, 66}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IslandGeometry::bodySize(c.state, c.expandedHeight), c.body);
        EXPECT_EQ(IslandGeometry::hitRect(c.state, c.expandedHeight, screen), c.hit);
    }
    // Collapsed on a 38-point notch: on the island up to 10 below the body and 6 beyond a side.
    const Rect hit = IslandGeometry::hitRect({false, false, notch38}, 0, screen);
    EXPECT_TRUE(hit.contains({856 - 240 - 6, 50}));
    EXPECT_FALSE(hit.contains({856 - 240 - 6.5, 50}));
    EXPECT_TRUE(hit.contains({856, 50 + 62 + 9.5}));
    EXPECT_FALSE(hit.contains({856, 50 + 62 + 10}));
}

TEST(IslandGeometry, PictureHeight) {
    EXPECT_EQ(IslandGeometry::panelHeight(0), 212);
    EXPECT_EQ(IslandGeometry::panelHeight(8), 412);
}

TEST(IslandGeometry, HangsBelowATopPanel) {
    const Rect screen{1920, 0, 2560, 1440};
    struct Case {
        const char* what;
        Rect available;
        bool overTopPanel;
        Rect expected;
    };
    const Case cases[] = {
        {"no panel", screen, false, screen},
        {"a top panel", {1920, 32, 2560, 1408}, false, {1920, 32, 2560, 1408}},
        {"over it", {1920, 32, 2560, 1408}, true, screen},
        {"a bottom panel", {1920, 0, 2560, 1400}, false, screen},
        {"a left panel keeps the middle", {1968, 0, 2512, 1440}, false, screen},
        {"top and left", {1968, 27, 2512, 1413}, false, {1920, 27, 2560, 1413}},
        {"no work area", {}, false, screen},
        {"above the screen", {1920, -10, 2560, 1450}, false, screen},
        {"past the upper half", {1920, 720, 2560, 720}, false, screen},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IslandGeometry::hangingArea(screen, c.available, c.overTopPanel), c.expected)
            << c.what;
    }
}

TEST(IslandGeometry, WindowIsWhatIsDrawn) {
    const Rect area{1920, 32, 2560, 1408};
    const NotchMetrics notch38{{192, 38}, true};
    struct Case {
        bool open;
        NotchMetrics metrics;
        double openHeight;
        Rect expected;
    };
    const Case cases[] = {
        // Collapsed: the body with its ears and hover growth, and a row for its edge.
        {false, {}, 129, {3200 - 253, 32, 506, 32 + 24 + 3 + 1}},
        {false, notch38, 129, {3200 - 253, 32, 506, 38 + 24 + 3 + 1}},
        // Open: the shadow's width, and below the body 4 % for the overshoot and the shadow.
        {true, {}, 129, {3200 - 273, 32, 546, 170}},  // ceil(134.16 + 35)
        {true, {}, 239, {3200 - 273, 32, 546, 284}},  // ceil(248.56 + 35)
        {true, {}, 400, {3200 - 273, 32, 546, 451}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IslandGeometry::windowFrame(area, c.open, c.metrics, c.openHeight), c.expected)
            << c.open << " " << c.openHeight;
    }
    // The body (480 + 2 × 13 wide) sits at the same place on the desktop in both windows.
    const Rect collapsed = IslandGeometry::windowFrame(area, false, {}, 129);
    const Rect open = IslandGeometry::windowFrame(area, true, {}, 129);
    EXPECT_EQ(collapsed.x + (collapsed.width - 506) / 2, open.x + (open.width - 506) / 2);
}

}  // namespace
}  // namespace wren
