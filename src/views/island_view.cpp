#include "views/island_view.h"

#include <QPainter>
#include <cmath>

#include "models/island_model.h"
#include "views/context_views.h"
#include "views/notch_shape.h"
#include "views/shadow.h"
#include "models/wren_context_widget.h"

namespace wren {
namespace {

// How the content swaps: the list comes in late and slides down, the strip only fades.
const anim::Curve kPanelIn = anim::easeOut(0.2, 0.09);
const anim::Curve kPanelOut = anim::easeIn(0.09);
const anim::Curve kStripFade = anim::easeOut(0.14);
constexpr double kPanelSlide = -5;

// An applied snapshot eases its changes in; a selection moves on its own spring.
const anim::Curve kApplyEase = anim::easeOut(0.16);
constexpr anim::Spring kSelectionSpring{0.32, 0.82};

constexpr double kEars = 2 * IslandView::kTopRadius;
// The windows that host the island are sized by these, in the core.
static_assert(IslandGeometry::kEarWidth == IslandView::kTopRadius);
static_assert(IslandGeometry::kShadowReach ==
              IslandView::kShadowOffsetY + IslandView::kShadowBlur * 1.5);
constexpr double kHeaderInset = 14;
constexpr double kBodyInset = 18;

}  // namespace

IslandView::IslandView(IslandModel& model, QWidget* parent)
    : IslandPart(parent),
      model_(model),
      strip_(new WrenContextStrip(model.widget(), this)),
      panel_(new WrenContextView(model.widget(), this)),
      height_(model.bodySize().height),
      radius_(model.isExpanded() ? kExpandedRadius : kCollapsedRadius),
      shadow_(model.isExpanded() ? kShadowOpacity : 0),
      stripOpacity_(model.isExpanded() ? 0 : 1),
      panelOpacity_(model.isExpanded() ? 1 : 0),
      panelOffset_(0) {
    setAttribute(Qt::WA_TranslucentBackground);
    strip_->setInset(kHeaderInset);
    panel_->setInsets(kHeaderInset, kBodyInset);
    panel_->syncSessions();
    onSelectionChanged();

    WrenContextWidget& widget = model.widget();
    connect(&model, &IslandModel::expandedChanged, this, &IslandView::onExpandedChanged);
    connect(&model, &IslandModel::hoveringChanged, this,
            [this] { onBodyChanged(IslandModel::kHoverSpring); });
    connect(&model, &IslandModel::metricsChanged, this, [this] {
        pushLayout();
        onBodyChanged(anim::kJump);
    });
    connect(&widget, &WrenContextWidget::sessionsChanged, this, &IslandView::onSessionsChanged);
    connect(&widget, &WrenContextWidget::selectedIDChanged, this, &IslandView::onSelectionChanged);
    for (auto signal :
         {&WrenContextWidget::tokensTodayChanged, &WrenContextWidget::workedTodayChanged}) {
        connect(&widget, signal, this, [this] {
            strip_->update();
            panel_->update();
        });
    }
    connect(&widget, &WrenContextWidget::windowsChanged, this, &IslandView::onSessionsChanged);
    connect(&widget, &WrenContextWidget::installsChanged, this, &IslandView::onSessionsChanged);

    pushLayout();
    resize(sizeHint());
    requestFrames();
}

void IslandView::setActions(RowActionHandlers actions) {
    panel_->setActions(std::move(actions));
}

QSize IslandView::sizeHint() const {
    return {static_cast<int>(IslandGeometry::kPanelWidth),
            static_cast<int>(IslandGeometry::panelHeight(model_.widget().sessions().size()))};
}

void IslandView::pushLayout() {
    IslandLayout layout;
    layout.notchSize = {model_.metrics().bodySize.width, model_.metrics().bodySize.height};
    layout.hasPhysicalNotch = model_.metrics().isPhysical;
    layout.contentWidth = IslandGeometry::kExpandedWidth;
    strip_->setIslandLayout(layout);
    panel_->setIslandLayout(layout);
}

void IslandView::onExpandedChanged() {
    anim::Animator& animator = anim::Animator::instance();
    const bool open = model_.isExpanded();
    const anim::Motion spring = open ? IslandModel::kExpandSpring : IslandModel::kCollapseSpring;
    animator.animate(height_, model_.bodySize().height, spring);
    animator.animate(radius_, open ? kExpandedRadius : kCollapsedRadius, spring);
    animator.animate(shadow_, open ? kShadowOpacity : 0, spring);
    animator.animate(stripOpacity_, open ? 0 : 1, kStripFade);
    if (open) {
        // Comes in from above each time, from wherever a fade-out left it.
        if (panelOpacity_.value(animator.now()) <= 0) panelOffset_.jumpTo(kPanelSlide);
        animator.animate(panelOpacity_, 1, kPanelIn);
        animator.animate(panelOffset_, 0, kPanelIn);
    } else {
        animator.animate(panelOpacity_, 0, kPanelOut);
    }
    requestFrames();
}

void IslandView::onBodyChanged(const anim::Motion& motion) {
    anim::Animator::instance().animate(height_, model_.bodySize().height, motion);
    requestFrames();
}

void IslandView::onSelectionChanged() {
    WrenContextWidget& widget = model_.widget();
    IslandSelection selection;
    selection.id = widget.selectedID();
    selection.toggle = [&widget](const std::string& id) { widget.toggleSelection(id); };
    // Cleared by a collapse, the selection goes with the collapse's spring.
    const anim::Motion motion = model_.isExpanded() ? anim::Motion(kSelectionSpring)
                                                    : anim::Motion(IslandModel::kCollapseSpring);
    panel_->setSelection(std::move(selection), motion);
    if (model_.isExpanded()) onBodyChanged(motion);
}

void IslandView::onSessionsChanged() {
    panel_->syncSessions();
    strip_->update();
    onBodyChanged(kApplyEase);
}

QRectF IslandView::bodyFrame() const {
    const double width = IslandGeometry::kExpandedWidth + kEars;
    return {(this->width() - width) / 2, 0, width, std::max(0.0, height_.value(lastNow_))};
}

bool IslandView::advance(double now) {
    lastNow_ = now;
    bool moving = height_.isMoving(now) || radius_.isMoving(now) || shadow_.isMoving(now) ||
                  stripOpacity_.isMoving(now) || panelOpacity_.isMoving(now) ||
                  panelOffset_.isMoving(now);

    const QRectF body = bodyFrame();
    const int contentX = static_cast<int>(std::round(body.left() + kTopRadius));
    const int contentWidth = static_cast<int>(IslandGeometry::kExpandedWidth);

    const double stripOpacity = unitClamp(stripOpacity_.value(now));
    strip_->setOpacity(stripOpacity);
    strip_->setVisible(stripOpacity > 0);
    strip_->setGeometry(contentX, 0, contentWidth, static_cast<int>(std::ceil(body.height())));

    // The list keeps its full height from the start, clipped by the growing body.
    const double panelOpacity = unitClamp(panelOpacity_.value(now));
    const int offset = static_cast<int>(std::round(panelOffset_.value(now)));
    panel_->setOpacity(panelOpacity);
    panel_->setVisible(panelOpacity > 0);
    panel_->setGeometry(contentX, offset, contentWidth,
                        std::max(0, static_cast<int>(std::ceil(body.height())) - offset));

    moving = IslandPart::advance(now) || moving;
    update();
    const double radius = radius_.value(now);
    const bool stopped = moving_ && !moving;
    moving_ = moving;
    if (body != lastBody_ || radius != lastRadius_) {
        lastBody_ = body;
        lastRadius_ = radius;
        emit bodyChanged();
    }
    if (stopped) emit settled();
    return moving;
}

void IslandView::resizeEvent(QResizeEvent*) {
    requestFrames();
}

QPainterPath IslandView::bodyOutline() const {
    return NotchShape{kTopRadius, radius_.value(lastNow_), 0}.path(bodyFrame());
}

const QImage& IslandView::shadowImage(const QRectF& body, double radius, double dpr) {
    ShadowCache& c = shadowCache_;
    if (c.body == body.size() && std::abs(c.radius - radius) < 0.01 && c.dpr == dpr) return c.image;
    const QSize pixels(static_cast<int>(std::ceil(body.width() * dpr)),
                       static_cast<int>(std::ceil(body.height() * dpr)));
    QImage silhouette(pixels, QImage::Format_ARGB32_Premultiplied);
    silhouette.fill(Qt::transparent);
    {
        QPainter p(&silhouette);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.fillPath(NotchShape{kTopRadius, radius, 0}.path(QRectF(QPointF(0, 0), body.size())),
                   Qt::black);
    }
    const int margin = static_cast<int>(std::ceil(kShadowBlur * 1.5 * dpr));
    c.image = dropShadow(silhouette, kShadowBlur * dpr, Qt::black, margin);
    c.image.setDevicePixelRatio(dpr);
    c.body = body.size();
    c.radius = radius;
    c.dpr = dpr;
    return c.image;
}

void IslandView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);
    const QRectF body = bodyFrame();
    if (body.height() <= 0) return;
    const double radius = radius_.value(lastNow_);
    const NotchShape shape{kTopRadius, radius, kOvershoot};
    const QPainterPath outline = shape.path(body);

    // The shadow of the body (the content lies inside it, so the body's outline is all of it).
    const double shadow = shadow_.value(lastNow_);
    if (shadow > 0.001) {
        const double dpr = devicePixelRatioF();
        const QImage& image = shadowImage(body, radius, dpr);
        const double margin = kShadowBlur * 1.5;
        painter.save();
        painter.setOpacity(painter.opacity() * std::min(1.0, shadow));
        painter.drawImage(QPointF(body.left() - std::ceil(margin * dpr) / dpr,
                                  body.top() + kShadowOffsetY - std::ceil(margin * dpr) / dpr),
                          image);
        painter.restore();
    }

    painter.fillPath(outline, Qt::black);

    // The rim: a hairline that brightens towards the bottom, added onto what lies beneath.
    QLinearGradient gradient(body.topLeft(), body.bottomLeft());
    gradient.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0));
    gradient.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.14f));
    QPen rim(QBrush(gradient), 0.75, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    rim.setMiterLimit(10);
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.strokePath(outline, rim);
    painter.restore();
}

QImage IslandView::renderToImage(double scale) {
    QImage image(size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

}  // namespace wren
