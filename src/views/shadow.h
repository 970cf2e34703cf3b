#pragma once

#include <QColor>
#include <QImage>

namespace wren {

/// A soft drop shadow of `source`'s alpha channel: the alpha blurred like a Gaussian of standard
/// deviation blurRadius / 2 (three box passes), coloured `color` (its alpha scales the shadow).
/// The result is `source`'s size plus `margin` on every side, in ARGB32 premultiplied, so the
/// caller draws it at (−margin, −margin) relative to the source, plus its own offset. Pure.
QImage dropShadow(const QImage& source, double blurRadius, const QColor& color, int margin);

}  // namespace wren
