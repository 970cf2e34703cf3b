#include "views/style.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>

namespace wren::Style {

QColor toColor(Rgb rgb, double opacity) {
    return QColor::fromRgbF(static_cast<float>(rgb.red), static_cast<float>(rgb.green),
                            static_cast<float>(rgb.blue), static_cast<float>(opacity));
}

QColor cream(double opacity) {
    return toColor(Palette::cream, opacity);
}
QColor teal(double opacity) {
    return toColor(Palette::teal, opacity);
}

QColor tint(const SessionSummary& session) {
    const SessionSummary::Tint t = session.tint();
    return toColor(t.color, t.opacity);
}

const QFont& font(Face face, double pixels, QFont::Weight weight, bool italic,
                  const QPaintDevice* device) {
    const int dpi = device != nullptr && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    static QHash<quint64, QFont> fonts;
    const quint64 key = (quint64(face) << 62) | (quint64(italic) << 61) |
                        (quint64(static_cast<quint16>(weight)) << 40) |
                        (quint64(static_cast<quint32>(pixels * 64) & 0xffffff) << 16) |
                        quint64(static_cast<quint16>(dpi));
    auto found = fonts.find(key);
    if (found != fonts.end()) return *found;

    QFont f = face == Face::mono ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                 : QApplication::font();
    if (face == Face::mono) f.setStyleHint(QFont::Monospace);
    f.setPointSizeF(pixels * 72.0 / dpi);
    f.setWeight(weight);
    f.setItalic(italic);
    f.setKerning(true);
    return *fonts.insert(key, f);
}

void drawLine(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
              const QColor& color, Qt::Alignment align, Qt::TextElideMode elide) {
    if (box.width() <= 0 || text.isEmpty()) return;
    const QFontMetricsF metrics(font, painter.device());
    // A line shows a few dozen characters; a pasted log of megabytes would only cost shaping
    // time, so anything past the cap goes before measuring (never splitting a surrogate pair).
    constexpr qsizetype kShownCap = 400;
    qsizetype keep = std::min(text.size(), kShownCap);
    if (keep < text.size() && text.at(keep - 1).isHighSurrogate()) --keep;
    // One line whatever the transcript held: breaks and tabs become spaces before measuring.
    QString line = text.left(keep);
    for (QChar& c : line) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            c = u' ';
        }
    }
    const QString shown = metrics.horizontalAdvance(line) <= box.width()
                              ? line
                              : metrics.elidedText(line, elide, box.width());
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(box, static_cast<int>(align) | Qt::TextSingleLine, shown);
}

double textWidth(const QFont& font, const QString& text, const QPaintDevice* device) {
    return device != nullptr ? QFontMetricsF(font, device).horizontalAdvance(text)
                             : QFontMetricsF(font).horizontalAdvance(text);
}

double lineHeight(const QFont& font, const QPaintDevice* device) {
    return device != nullptr ? QFontMetricsF(font, device).height() : QFontMetricsF(font).height();
}

void fillCapsule(QPainter& painter, const QRectF& box, const QColor& color) {
    const double radius = std::min(box.width(), box.height()) / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(box, radius, radius);
}

void fillDot(QPainter& painter, QPointF centre, double diameter, const QColor& color) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(centre, diameter / 2, diameter / 2);
}

}  // namespace wren::Style
