#include "desktop/island_panel.h"

#include <QContextMenuEvent>
#include <QRegion>
#include <QWindow>
#include <cmath>

#include "core/island/island_geometry.h"
#include "models/island_model.h"
#include "platform/desktop_session.h"
#include "views/island_view.h"

namespace wren {

IslandPanel::IslandPanel(IslandModel& model, QWidget* parent)
    // A plain window typed as a utility rather than Qt::Tool: the toolkit names a hidden 1 x 1
    // helper as every tool window's WM_TRANSIENT_FOR, which window managers reject with a warning.
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint),
      model_(model),
      view_(new IslandView(model, this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    setWindowTitle(QStringLiteral("WrenIsland"));
    setFocusPolicy(Qt::NoFocus);
    winId();  // the native window exists from here on, so its input can be set before showing
    // The attribute sets the type once; the xcb backend rewrites it on every flag change from
    // this property (internal to Qt's xcb plugin, where 0x20 is its utility type).
    windowHandle()->setProperty("_q_xcb_wm_window_type", 0x20);
    DesktopSession::keepPixelsOnScreen(windowHandle());
    DesktopSession::declineCompositorShadow(windowHandle());
    applyInput();
    // The view has taken each change before the panel hears of it, so it knows if it moves.
    connect(view_, &IslandView::bodyChanged, this, [this] {
        fitWindow(view_->isMoving());
        if (shaped_) applyShape();
    });
    connect(view_, &IslandView::settled, this, [this] { fitWindow(false); });
    connect(&model_, &IslandModel::expandedChanged, this, [this] {
        fitWindow(view_->isMoving());
        if (mode_ == InputMode::hitRectOnly) applyInput();
    });
    // Rows that come or go: heard before the view moves, so the window grows before the body
    // does, and shrinks once the body has settled.
    connect(&model_, &IslandModel::openHeightChanged, this, [this] { fitWindow(true); });
}

void IslandPanel::placeOn(const Rect& area) {
    area_ = area;
    fitWindow(false);
}

void IslandPanel::fitWindow(bool growOnly) {
    const Rect frame = IslandGeometry::windowFrame(area_, model_.isExpanded(), model_.metrics(),
                                                   model_.openHeight());
    QRect wanted(static_cast<int>(std::floor(frame.x)), static_cast<int>(frame.y),
                 static_cast<int>(frame.width), static_cast<int>(frame.height));
    // Both frames are centred on the same middle, so together they hold every frame drawn.
    if (growOnly) wanted = wanted.united(geometry());
    if (wanted == geometry()) return;
    // One move and resize, then the new picture at once: the body never shows out of place.
    setGeometry(wanted);
    if (isVisible()) repaint();
}

void IslandPanel::setClickable(bool clickable) {
    if (clickable == clickable_) return;
    clickable_ = clickable;
    applyInput();
}

void IslandPanel::setInputMode(InputMode mode) {
    mode_ = mode;
    applyInput();
}

void IslandPanel::setShapedToBody(bool shaped) {
    shaped_ = shaped;
    if (shaped) {
        applyShape();
    } else {
        clearMask();
    }
}

void IslandPanel::applyInput() {
    QWindow* window = windowHandle();
    if (window == nullptr) return;
    if (mode_ == InputMode::transparent) {
        // Toggled on the live window: the widget-level flag would unmap and remap it.
        window->setFlag(Qt::WindowTransparentForInput, !clickable_);
        return;
    }
    // Collapsed, only the hit rectangle takes the pointer, so entering and leaving it is seen.
    if (clickable_) {
        DesktopSession::setInputRegion(window, std::nullopt);
    } else {
        // The hit rectangle of a screen as wide as the panel is the panel's own part.
        const Rect hit = model_.hitRect(Rect{0, 0, static_cast<double>(width()), 0});
        DesktopSession::setInputRegion(
            window, QRegion(QRect(static_cast<int>(hit.x), static_cast<int>(hit.y),
                                  static_cast<int>(hit.width), static_cast<int>(hit.height))));
    }
}

void IslandPanel::applyShape() {
    // Hard-edged, but clicks outside the body pass through and nothing outside shows black.
    setMask(QRegion(view_->bodyOutline().toFillPolygon().toPolygon()));
}

void IslandPanel::resizeEvent(QResizeEvent*) {
    view_->setGeometry(rect());
    if (mode_ == InputMode::hitRectOnly) applyInput();
}

void IslandPanel::enterEvent(QEnterEvent*) {
    emit pointerEntered();
}

void IslandPanel::leaveEvent(QEvent*) {
    emit pointerLeft();
}

void IslandPanel::contextMenuEvent(QContextMenuEvent* event) {
    if (model_.isExpanded() && contextMenu_) contextMenu_(event->globalPos());
}

}  // namespace wren
