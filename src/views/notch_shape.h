#pragma once

#include <QPainterPath>
#include <QRectF>

namespace wren {

/// The island's outline: a body hanging from the top edge of `rect`, with concave ears of
/// `topRadius` flaring out to the rectangle's top corners, convex bottom corners of
/// `bottomRadius`, and a band of `topOvershoot` above the top edge so no seam shows against the
/// screen edge. Radii are clamped so the corners never overlap; negative values act as 0.
struct NotchShape {
    double topRadius = 13;
    double bottomRadius = 14;
    double topOvershoot = 4;

    QPainterPath path(const QRectF& rect) const;
};

}  // namespace wren
