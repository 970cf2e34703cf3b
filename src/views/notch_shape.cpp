#include "views/notch_shape.h"

#include <algorithm>

namespace wren {
namespace {

// A quarter circle of `radius` centred at `centre`, from `startDegrees` through `sweepDegrees`
// (Qt's angles: counter-clockwise on screen). A zero radius is a straight line to the corner.
void quarter(QPainterPath& path, QPointF centre, double radius, double startDegrees,
             double sweepDegrees, QPointF corner) {
    if (radius <= 0) {
        path.lineTo(corner);
        return;
    }
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
               startDegrees, sweepDegrees);
}

}  // namespace

QPainterPath NotchShape::path(const QRectF& rect) const {
    const double x0 = rect.left(), x1 = rect.right(), y0 = rect.top(), y1 = rect.bottom();
    const double w = rect.width(), h = rect.height();
    const double t = std::max(0.0, std::min(topRadius, w / 2));
    const double b = std::max(0.0, std::min({bottomRadius, w / 2 - t, h / 2}));

    QPainterPath path;
    path.moveTo(x0, y0);
    quarter(path, {x0, y0 + t}, t, 90, -90, {x0 + t, y0});  // left ear, concave
    path.lineTo(x0 + t, y1 - b);
    quarter(path, {x0 + t + b, y1 - b}, b, 180, 90, {x0 + t, y1});  // bottom left
    path.lineTo(x1 - t - b, y1);
    quarter(path, {x1 - t - b, y1 - b}, b, 270, 90, {x1 - t, y1});  // bottom right
    path.lineTo(x1 - t, y0 + t);
    quarter(path, {x1, y0 + t}, t, 180, -90, {x1 - t, y0});  // right ear, concave
    path.lineTo(x1, y0);
    path.closeSubpath();

    if (topOvershoot > 0) path.addRect(QRectF(x0, y0 - topOvershoot, w, topOvershoot));
    return path;
}

}  // namespace wren
