#pragma once

#include <QRectF>
#include <QWidget>
#include <functional>

class QPainter;

namespace wren {

/// Base of every painted view in the island. A part has its own opacity, which multiplies with
/// its ancestors' so a fading panel fades everything drawn inside it, and it takes part in the
/// island's frames: advance() moves its animations to `now` and lays out its children, and
/// requestFrames() asks the animator to keep calling the topmost part until nothing moves.
class IslandPart : public QWidget {
    Q_OBJECT

  public:
    explicit IslandPart(QWidget* parent = nullptr);

    void setOpacity(double opacity);
    double opacity() const { return opacity_; }
    /// This part's opacity times every enclosing part's.
    double paintOpacity() const;

    /// Moves this part and its children to `now`; true while anything in it still moves.
    virtual bool advance(double now);

  protected:
    /// After a change: lays the whole island this part belongs to out at the animator's now, and
    /// keeps frames coming while anything in it moves.
    void requestFrames();
    /// A painter on this part, anti-aliased, at the part's paint opacity.
    void beginPaint(QPainter& painter);

  private:
    double opacity_ = 1;
};

/// A part that follows the pointer and acts on a click: hovering is set on entry and cleared on
/// exit (a repaint each time), and a left press released inside pressArea() calls the action.
/// Presses elsewhere pass on to the parent.
class PressablePart : public IslandPart {
    Q_OBJECT

  public:
    explicit PressablePart(QWidget* parent = nullptr);
    void setAction(std::function<void()> action) { action_ = std::move(action); }
    bool isHovering() const { return hovering_; }

  protected:
    /// Where a press counts; the whole part unless a subclass narrows it.
    virtual QRectF pressArea() const { return rect(); }

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    std::function<void()> action_;
    bool hovering_ = false;
    bool pressed_ = false;
};

/// Clamps to 0…1: springs overshoot, opacities must not.
inline double unitClamp(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

}  // namespace wren
