#include "views/island_part.h"

#include <QPainter>

#include "views/animation.h"

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

}  // namespace wren
