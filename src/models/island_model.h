#pragma once

#include <QObject>

#include "core/island/island_geometry.h"
#include "core/island/notch_metrics.h"
#include "models/animation.h"
#include "models/wren_context_widget.h"

namespace wren {

/// The observable state of the island itself: open or not, hovered or not, and the notch of its
/// screen. Owns the one context widget. Each change is announced after it is made; the views
/// animate it with the motion named here, so the island's outline, height and shadow follow the
/// spring that the change belongs to. GUI thread only.
class IslandModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isExpanded READ isExpanded NOTIFY expandedChanged)
    Q_PROPERTY(bool isHoveringCollapsed READ isHoveringCollapsed NOTIFY hoveringChanged)

  public:
    static constexpr anim::Spring kExpandSpring{0.34, 0.74};
    static constexpr anim::Spring kCollapseSpring{0.26, 0.96};
    static constexpr anim::Spring kHoverSpring{0.22, 0.8};

    explicit IslandModel(QObject* parent = nullptr);
    explicit IslandModel(WrenContextWidget::Options options, QObject* parent = nullptr);

    WrenContextWidget& widget() { return widget_; }
    const WrenContextWidget& widget() const { return widget_; }

    bool isExpanded() const { return state_.isExpanded; }
    bool isHoveringCollapsed() const { return state_.isHoveringCollapsed; }
    const NotchMetrics& metrics() const { return state_.metrics; }
    const IslandState& state() const { return state_; }

    /// 480 wide; openHeight() when open, else notch + 24 (+3 while hovered).
    Size bodySize() const;
    /// Where the pointer counts as on the island, on `screen` (desktop coordinates).
    Rect hitRect(const Rect& screen) const;
    /// The open island's body height for the current rows, selection and notch.
    double openHeight() const { return widget_.expandedHeight(state_.metrics.bodySize.height); }

    /// Takes the metrics of the island's screen; a notch of the same size changes nothing.
    void update(const NotchMetrics& metrics);
    /// Opens or closes the island; closing also clears the selection.
    void setExpanded(bool expanded);
    /// Marks the pointer as resting on the island; becoming true starts a background refresh so
    /// fresh data is read while the open dwell runs.
    void setHovering(bool hovering);

  signals:
    void expandedChanged();
    void hoveringChanged();
    void metricsChanged();
    /// openHeight() changed (rows came or went, a row was selected, the notch changed): the
    /// window that hosts the island must follow it.
    void openHeightChanged();

  private:
    void checkOpenHeight();

    WrenContextWidget widget_;
    IslandState state_;
    double lastOpenHeight_ = 0;
};

}  // namespace wren
