#pragma once

#include <QWidget>
#include <functional>

namespace wren {

class IslandModel;
class IslandView;

/// The island's window: frameless, translucent, above everything, never focused and never in a
/// taskbar (it bypasses the window manager), sized for the island with every row open and its
/// shadow. It hosts the island view and decides where clicks go: through it while the island is
/// collapsed, to it while open.
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

    /// Top centre of `screen` (desktop coordinates), 546 wide, tall enough for every session.
    void placeOn(const QRect& screen);
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
    void applyInput();
    void applyShape();

    IslandModel& model_;
    IslandView* view_;
    bool clickable_ = false;
    bool shaped_ = false;
    InputMode mode_ = InputMode::transparent;
    std::function<void(QPoint)> contextMenu_;
};

}  // namespace wren
