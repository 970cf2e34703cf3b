#include "core/island/island_geometry.h"

#include <cmath>

namespace wren::IslandGeometry {

Size bodySize(const IslandState& state, double expandedHeight) {
    if (state.isExpanded) return {kExpandedWidth, expandedHeight};
    const double height = state.metrics.bodySize.height + kMessageRowHeight;
    return {kExpandedWidth, state.isHoveringCollapsed ? height + kHoverGrowth : height};
}

Rect hitRect(const IslandState& state, double expandedHeight, const Rect& screen) {
    const double body =
        state.isExpanded ? expandedHeight : state.metrics.bodySize.height + kMessageRowHeight;
    const double width = state.isExpanded ? 500 : 492;
    const double height = body + (state.isExpanded ? 26 : 10);
    return {screen.midX() - 0.5 * width, screen.y, width, height};
}

double panelHeight(std::size_t sessionCount) {
    return static_cast<double>(sessionCount) * 25 + 62 + 110 + 40;
}

Rect hangingArea(const Rect& screen, const Rect& available, bool overTopPanel) {
    const double top = available.y;
    if (overTopPanel || available.width <= 0 || available.height <= 0 || top < screen.y ||
        top >= screen.y + screen.height / 2) {
        return screen;
    }
    return {screen.x, top, screen.width, screen.bottom() - top};
}

Rect windowFrame(const Rect& area, bool open, const NotchMetrics& metrics, double openHeight) {
    const double width = open ? kPanelWidth : kExpandedWidth + 2 * kEarWidth;
    const double height =
        open ? std::ceil(openHeight * (1 + kOvershootRoom) + kShadowReach)
             : std::ceil(metrics.bodySize.height + kMessageRowHeight + kHoverGrowth) + 1;
    return {area.midX() - width / 2, area.y, width, height};
}

}  // namespace wren::IslandGeometry
