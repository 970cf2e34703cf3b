#include "views/symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <algorithm>

namespace wren {
namespace {

// Glyphs are drawn in a unit square (y down) whose ink, caps included, fills kInk × pixelSize.
constexpr double kInk = 0.8;
constexpr double kExtent = 1.1;

/// Stroke width as a fraction of the pixel size: 0.09 at Normal (400), 0.13 at DemiBold (600)
/// and above, a little thinner for light weights.
double strokeFraction(int weight) {
    const double t = (weight - 400) / 200.0;
    return std::clamp(0.09 + 0.04 * t, 0.07, 0.13);
}

// From the current point down the left side at `left`, round both bottom corners, and up the
// right side to `rightEnd`: the open box both glyphs draw.
void roundedBottom(QPainterPath& path, double left, double right, double bottom, double corner,
                   double rightEnd) {
    path.lineTo(left, bottom - corner);
    path.quadTo(left, bottom, left + corner, bottom);
    path.lineTo(right - corner, bottom);
    path.quadTo(right, bottom, right, bottom - corner);
    path.lineTo(right, rightEnd);
}

QPainterPath reopenPath() {
    QPainterPath path;
    // The square, open from the middle of its top edge round to the middle of its right edge.
    const double left = 0, top = 0.22, right = 0.78, bottom = 1, corner = 0.2;
    path.moveTo(0.42, top);
    path.lineTo(left + corner, top);
    path.quadTo(left, top, left, top + corner);
    roundedBottom(path, left, right, bottom, corner, 0.58);
    // The arrow, from inside the square out past its open corner.
    path.moveTo(0.4, 0.6);
    path.lineTo(1, 0);
    path.moveTo(0.6, 0);
    path.lineTo(1, 0);
    path.lineTo(1, 0.4);
    return path;
}

QPainterPath saveToMemoryPath() {
    QPainterPath path;
    // The tray.
    const double top = 0.56, corner = 0.18;
    path.moveTo(0, top);
    roundedBottom(path, 0, 1, 1, corner, top);
    // The arrow, down into it.
    path.moveTo(0.5, 0);
    path.lineTo(0.5, 0.7);
    path.moveTo(0.27, 0.47);
    path.lineTo(0.5, 0.7);
    path.lineTo(0.73, 0.47);
    return path;
}

}  // namespace

void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color,
                 double pixelSize, int weight) {
    if (pixelSize <= 0) return;
    static const QPainterPath reopen = reopenPath();
    static const QPainterPath save = saveToMemoryPath();

    const double stroke = pixelSize * strokeFraction(weight);
    const double ink = kInk * pixelSize;
    // Centre lines sit half a stroke inside the ink square, so round caps end at its edge.
    const double span = std::max(ink - stroke, 0.0);

    const QPointF origin = box.center() - QPointF(span / 2, span / 2);
    const QTransform place = QTransform::fromTranslate(origin.x(), origin.y()).scale(span, span);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(place.map(symbol == Symbol::reopen ? reopen : save));
    painter.restore();
}

double symbolExtent(double pixelSize) {
    return kExtent * pixelSize;
}

}  // namespace wren
