#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace wren {

/// Our own line glyphs for the two symbol images the island uses.
enum class Symbol {
    reopen,        // an arrow leaving a square, up and to the right
    saveToMemory,  // an arrow pointing down into a tray
};

/// Draws `symbol` centred in `box` as strokes of `color`, sized like a glyph of a font of
/// `pixelSize` pixels (its cap height fills about 0.8 × pixelSize); `weight` is a QFont::Weight
/// value and thickens the strokes. Anti-aliased; the painter's opacity applies.
void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color,
                 double pixelSize, int weight);
/// The glyph's advance width and height for layout: a square of about pixelSize × 1.1.
double symbolExtent(double pixelSize);

}  // namespace wren
