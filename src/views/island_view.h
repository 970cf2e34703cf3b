#pragma once

#include <QImage>
#include <QPainterPath>

#include "models/animation.h"
#include "views/island_layout.h"
#include "views/island_part.h"
#include "views/session_detail.h"

namespace wren {

class IslandModel;
class WrenContextStrip;
class WrenContextView;

/// The whole content of the island's window: the black body hanging from the top centre, its
/// faint rim, its shadow while open, and the collapsed strip or the open session list inside.
/// It follows the island model and its widget: every change is animated with the motion it
/// belongs to (the open and close springs, the hover spring, the selection spring, the ease of
/// an applied snapshot), and it ticks only while something moves.
class IslandView final : public IslandPart {
    Q_OBJECT

  public:
    static constexpr double kTopRadius = 13;
    static constexpr double kCollapsedRadius = 14;
    static constexpr double kExpandedRadius = 26;
    static constexpr double kOvershoot = 4;
    static constexpr double kShadowOpacity = 0.45;
    static constexpr double kShadowBlur = 18;
    static constexpr double kShadowOffsetY = 8;

    explicit IslandView(IslandModel& model, QWidget* parent = nullptr);

    /// Replaces what the rows' buttons do (the default runs them on the spot).
    void setActions(RowActionHandlers actions);

    /// The body's frame inside the view now: the island's width plus the ears, centred.
    QRectF bodyFrame() const;
    /// The body's outline now, in view coordinates (without the band above the top edge).
    QPainterPath bodyOutline() const;
    /// True from a change until everything in the island has come to rest.
    bool isMoving() const { return moving_; }
    double bottomRadius() const { return radius_.value(lastNow_); }
    double shadowOpacity() const { return shadow_.value(lastNow_); }
    WrenContextStrip& strip() { return *strip_; }
    WrenContextView& sessionPanel() { return *panel_; }

    /// Draws the view as it stands into a transparent image of its size at `scale`.
    QImage renderToImage(double scale = 1);

    bool advance(double now) override;
    QSize sizeHint() const override;

  signals:
    /// The body's outline moved or changed size (for windows that must be shaped to it).
    void bodyChanged();
    /// Everything has come to rest after moving (for a window that shrinks once it is done).
    void settled();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void onExpandedChanged();
    void onBodyChanged(const anim::Motion& motion);
    void onSelectionChanged();
    void onSessionsChanged();
    void pushLayout();
    const QImage& shadowImage(const QRectF& body, double radius, double dpr);

    IslandModel& model_;
    WrenContextStrip* strip_;
    WrenContextView* panel_;

    anim::AnimatedValue height_;
    anim::AnimatedValue radius_;
    anim::AnimatedValue shadow_;
    anim::AnimatedValue stripOpacity_;
    anim::AnimatedValue panelOpacity_;
    anim::AnimatedValue panelOffset_;
    double lastNow_ = 0;
    bool moving_ = false;
    QRectF lastBody_;
    double lastRadius_ = -1;

    struct ShadowCache {
        QSizeF body;
        double radius = -1;
        double dpr = 0;
        QImage image;
    } shadowCache_;
};

}  // namespace wren
