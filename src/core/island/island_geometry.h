#pragma once

#include <cstddef>

#include "core/island/notch_metrics.h"

namespace wren {

/// The island's own state, as opposed to its content: open or not, the pointer resting on the
/// collapsed island or not, and the notch of the screen it is on.
struct IslandState {
    bool isExpanded = false;
    bool isHoveringCollapsed = false;
    NotchMetrics metrics;
};

/// Where the island is and how big, as pure arithmetic the window and the views share. All
/// rectangles are in desktop coordinates (top left origin, y down).
namespace IslandGeometry {

/// Width of the island's body in both states.
inline constexpr double kExpandedWidth = 480;
/// The collapsed island's message line under the notch.
inline constexpr double kMessageRowHeight = 24;
/// How much the collapsed island grows under the pointer.
inline constexpr double kHoverGrowth = 3;
/// The concave ears on either side of the body.
inline constexpr double kEarWidth = 13;
/// The open island's window: the body with its ears (506) and 20 of its shadow on either side.
inline constexpr double kPanelWidth = 546;
/// How far the open island's shadow reaches below the body: its offset (8) and blur margin (27).
inline constexpr double kShadowReach = 35;
/// Room below the open body for the open spring's overshoot, as a share of the open height (the
/// spring carries the body at most 3.2 % of the way past its height).
inline constexpr double kOvershootRoom = 0.04;

/// The body: 480 wide; `expandedHeight` tall when open (the content model computes it), else
/// the notch height plus the message line, plus the hover growth while hovered.
Size bodySize(const IslandState& state, double expandedHeight);

/// Where the pointer counts as on the island: the body without the hover growth, widened by 10
/// on each side and lengthened by 26 when open (6 and 10 when collapsed), centred on `screen`
/// and hanging from its top edge.
Rect hitRect(const IslandState& state, double expandedHeight, const Rect& screen);

/// 212 + 25 per session: a picture of the island (render mode) with room for every row, the
/// open detail and the shadow below.
double panelHeight(std::size_t sessionCount);

/// The part of `screen` the island hangs in: below a top panel that reserves space, that is from
/// the top of `available` (the screen's work area), or the whole screen when `overTopPanel`.
/// It keeps the screen's width, so a panel on a side does not move the island off the middle.
/// A work area whose top is not in the screen's upper half (none reported, or nonsense) counts
/// as no top panel.
Rect hangingArea(const Rect& screen, const Rect& available, bool overTopPanel);

/// The island's window, at the top centre of `area`: while open 546 wide and as tall as the open
/// body (`openHeight`), its shadow and the overshoot room; while collapsed the body with its ears
/// and hover growth, 506 × (notch + 24 + 3 + 1: a row for the anti-aliased bottom edge). Both are
/// centred on the area's middle, so the body stays in place when the window changes.
Rect windowFrame(const Rect& area, bool open, const NotchMetrics& metrics, double openHeight);

}  // namespace IslandGeometry
}  // namespace wren
