#include "views/island_part.h"

#include <QMouseEvent>
#include <QPainter>

#include "models/animation.h"

namespace wren {

IslandPart::IslandPart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

void IslandPart::setOpacity(double opacity) {
    opacity = unitClamp(opacity);
    if (opacity == opacity_) return;
    opacity_ = opacity;
    update();
}

double IslandPart::paintOpacity() const {
    double product = opacity_;
    for (const QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (const auto* part = qobject_cast<const IslandPart*>(w)) product *= part->opacity_;
    }
    return product;
}

bool IslandPart::advance(double now) {
    bool moving = false;
    for (QObject* child : children()) {
        if (auto* part = qobject_cast<IslandPart*>(child)) moving = part->advance(now) || moving;
    }
    return moving;
}

void IslandPart::requestFrames() {
    IslandPart* top = this;
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* part = qobject_cast<IslandPart*>(w)) top = part;
    }
    anim::Animator& animator = anim::Animator::instance();
    // Lay out at once, so a change shows even when animations are off or no frame ever comes.
    if (top->advance(animator.now())) {
        animator.keepTicking(top, [top](double now) { return top->advance(now); });
    }
}

void IslandPart::beginPaint(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setOpacity(paintOpacity());
}

PressablePart::PressablePart(QWidget* parent) : IslandPart(parent) {}

void PressablePart::enterEvent(QEnterEvent*) {
    hovering_ = true;
    update();
}

void PressablePart::leaveEvent(QEvent*) {
    hovering_ = false;
    pressed_ = false;
    update();
}

void PressablePart::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton && pressArea().contains(event->position());
    if (!pressed_) event->ignore();
}

void PressablePart::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && pressArea().contains(event->position());
    pressed_ = false;
    if (click && action_) action_();
}

}  // namespace wren
