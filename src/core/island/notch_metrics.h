#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace wren {

/// A width and a height in logical pixels.
struct Size {
    double width = 0;
    double height = 0;

    friend constexpr bool operator==(const Size&, const Size&) = default;
};

/// A point in the desktop's logical coordinates: origin at the top left, y growing downwards.
struct Point {
    double x = 0;
    double y = 0;
};

/// A rectangle in the same space. Half open: its left and top edges are inside, its right and
/// bottom edges are not, so a pointer on the very top row of a screen belongs to that screen and
/// two screens side by side never both claim the pixel column between them.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    double midX() const { return x + width / 2; }
    bool contains(Point p) const { return p.x >= x && p.x < right() && p.y >= y && p.y < bottom(); }

    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

/// The camera housing the island is drawn around, for one screen.
struct NotchMetrics {
    Size bodySize{190, 32};
    bool isPhysical = false;

    /// 190 × 32, not physical: every screen without a measurable housing.
    static constexpr NotchMetrics fallback() { return {}; }

    /// A housing measured from the menu-bar areas left and right of it and the safe area above
    /// the content: the frame width less both areas by the top inset, when both exceed one point.
    /// Either area missing, or a sliver of a housing, gives the fallback.
    static NotchMetrics measure(double frameWidth, std::optional<double> leftAreaWidth,
                                std::optional<double> rightAreaWidth, double safeAreaTop);

    /// Linux screens report no housing, so every screen gets the fallback.
    static NotchMetrics forScreen() { return fallback(); }
};

namespace ScreenChoice {

/// WRENISLAND_SCREEN as a strict decimal, read once per process; absent when unset or bad.
std::optional<std::int64_t> pinnedScreen();

/// The index of the screen the island belongs on: the pinned one while it names an attached
/// screen, else the first screen that contains the pointer, else the primary one (or the first
/// when the primary is unknown). `screens` must not be empty.
std::size_t screenUnderPointer(std::span<const Rect> screens, Point pointer,
                               std::optional<std::int64_t> pinned,
                               std::optional<std::size_t> primary);

}  // namespace ScreenChoice
}  // namespace wren
