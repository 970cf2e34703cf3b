#pragma once

#include <QWidget>
#include <functional>

#include "core/island/notch_metrics.h"

namespace wren {

class IslandModel;
class IslandView;

/// The island's window: frameless, translucent, above everything, never focused and never in a
/// taskbar (it bypasses the window manager), and only as big as what is drawn: the collapsed
/// body, or the open body with its shadow (IslandGeometry::windowFrame). It grows before the
/// island opens or its content grows and shrinks once the island has come to rest, each time
/// moved and resized at once around the body, which stays in place. It hosts the island view
/// and decides where clicks go: through it while the island is collapsed, to it while open.
class IslandPanel final : public QWidget {
    Q_OBJECT

  public:
    /// How the panel lets clicks through while collapsed.
    enum class InputMode {
        transparent,  // no input at all (the pointer is followed from outside)
        hitRectOnly,  // only the hit rectangle takes input, so enter and leave tell hover
    };

    explicit IslandPanel(IslandModel& model, QWidget* parent = nullptr);

    IslandView& view() { return *view_; }

    /// Hangs the island from the top centre of `area` (desktop coordinates).
    void placeOn(const Rect& area);
    void setClickable(bool clickable);
    void setInputMode(InputMode mode);
    /// Without a compositor translucent pixels show black, so the window is shaped to the body.
    void setShapedToBody(bool shaped);

    /// Shown on a right click anywhere on the open island.
    void setContextMenu(std::function<void(QPoint global)> show) { contextMenu_ = std::move(show); }

  signals:
    void pointerEntered();
    void pointerLeft();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    /// Sizes the window for the island's state; while `growOnly`, never smaller than it is.
    void fitWindow(bool growOnly);
    void applyInput();
    void applyShape();

    IslandModel& model_;
    IslandView* view_;
    Rect area_;
    bool clickable_ = false;
    bool shaped_ = false;
    InputMode mode_ = InputMode::transparent;
    std::function<void(QPoint)> contextMenu_;
};

}  // namespace wren
