#pragma once

#include <cstddef>

#include "island/notch_metrics.h"

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
/// The window that hosts the island: wide enough for the ears and the shadow.
inline constexpr double kPanelWidth = 546;

/// The body: 480 wide; `expandedHeight` tall when open (the content model computes it), else
/// the notch height plus the message line, plus the hover growth while hovered.
Size bodySize(const IslandState& state, double expandedHeight);

/// Where the pointer counts as on the island: the body without the hover growth, widened by 10
/// on each side and lengthened by 26 when open (6 and 10 when collapsed), centred on `screen`
/// and hanging from its top edge.
Rect hitRect(const IslandState& state, double expandedHeight, const Rect& screen);

/// 212 + 25 per session: room for every row, the open detail and the shadow below.
double panelHeight(std::size_t sessionCount);

/// The panel at the top centre of `screen`.
Rect panelFrame(const Rect& screen, std::size_t sessionCount);

}  // namespace IslandGeometry
}  // namespace wren
