#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QRectF>
#include <QString>

#include "core/transcripts/colour.h"
#include "core/transcripts/session_summary.h"

class QPainter;
class QPaintDevice;

namespace wren::Style {

QColor toColor(Rgb rgb, double opacity = 1);
/// The palette's cream and teal at an opacity.
QColor cream(double opacity);
QColor teal(double opacity);
/// A session's signal colour.
QColor tint(const SessionSummary& session);

/// The application's default face, or the system's fixed-pitch face.
enum class Face { system, mono };

/// A font of `pixels` logical pixels (fractions included) for drawing on `device`; Qt only takes
/// whole pixel sizes, so the size goes in as points at the device's logical resolution. Fonts
/// are made once per size and kept.
const QFont& font(Face face, double pixels, QFont::Weight weight = QFont::Normal,
                  bool italic = false, const QPaintDevice* device = nullptr);

/// Draws `text` as plain text on one line inside `box`, cut with an ellipsis at `elide` when it
/// is wider than the box. Markup, tabs and line breaks in it are never interpreted.
void drawLine(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
              const QColor& color, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter,
              Qt::TextElideMode elide = Qt::ElideRight);
/// The natural width of `text` on one line.
double textWidth(const QFont& font, const QString& text, const QPaintDevice* device = nullptr);
/// The height of one line of `font`.
double lineHeight(const QFont& font, const QPaintDevice* device = nullptr);

/// A capsule (fully round ends) filled with `color`.
void fillCapsule(QPainter& painter, const QRectF& box, const QColor& color);
/// A filled circle of `diameter` centred at `centre`.
void fillDot(QPainter& painter, QPointF centre, double diameter, const QColor& color);

}  // namespace wren::Style
