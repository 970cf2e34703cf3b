#include "models/island_model.h"

namespace wren {

IslandModel::IslandModel(QObject* parent) : IslandModel(WrenContextWidget::Options{}, parent) {}

IslandModel::IslandModel(WrenContextWidget::Options options, QObject* parent)
    : QObject(parent), widget_(std::move(options)), lastOpenHeight_(openHeight()) {
    connect(&widget_, &WrenContextWidget::sessionsChanged, this, &IslandModel::checkOpenHeight);
    connect(&widget_, &WrenContextWidget::selectedIDChanged, this, &IslandModel::checkOpenHeight);
    connect(this, &IslandModel::metricsChanged, this, &IslandModel::checkOpenHeight);
}

void IslandModel::checkOpenHeight() {
    const double height = openHeight();
    if (height == lastOpenHeight_) return;
    lastOpenHeight_ = height;
    emit openHeightChanged();
}

Size IslandModel::bodySize() const {
    return IslandGeometry::bodySize(state_, openHeight());
}

Rect IslandModel::hitRect(const Rect& screen) const {
    return IslandGeometry::hitRect(state_, openHeight(), screen);
}

void IslandModel::update(const NotchMetrics& metrics) {
    if (metrics.bodySize == state_.metrics.bodySize) return;
    state_.metrics = metrics;
    emit metricsChanged();
}

void IslandModel::setExpanded(bool expanded) {
    if (state_.isExpanded == expanded) return;
    state_.isExpanded = expanded;
    // A collapsed island never keeps a selection; cleared in the same change as the collapse.
    if (!expanded && widget_.selectedID()) widget_.toggleSelection(*widget_.selectedID());
    emit expandedChanged();
}

void IslandModel::setHovering(bool hovering) {
    if (state_.isHoveringCollapsed == hovering) return;
    state_.isHoveringCollapsed = hovering;
    emit hoveringChanged();
    if (hovering) widget_.refresh();
}

}  // namespace wren
