#include "island/island_geometry.h"

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

Rect panelFrame(const Rect& screen, std::size_t sessionCount) {
    const double height = panelHeight(sessionCount);
    return {screen.midX() - kPanelWidth / 2, screen.y, kPanelWidth, height};
}

}  // namespace wren::IslandGeometry
