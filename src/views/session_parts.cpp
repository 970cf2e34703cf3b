#include "views/session_parts.h"

#include <QPainter>

#include "views/agent_icon.h"
#include "views/style.h"
#include "platform/qt_text.h"
#include "core/sessions/relative_time.h"

namespace wren::SessionParts {
namespace {

using Style::Face;

constexpr double kTimeColumn = 34;
constexpr double kIdentitySpacing = 9;
constexpr double kProjectColumn = 92;
constexpr double kMinimumGap = 8;

}  // namespace

QString placeholder() {
    return QStringLiteral("working\u2026");
}

void paintIdentity(QPainter& painter, const QRectF& box, const SessionSummary& session,
                   const IdentityStyle& style, const QPaintDevice* device) {
    const double base = painter.opacity();
    const QFont& timeFont = Style::font(Face::mono, 11, QFont::Medium, false, device);
    QRectF time(box.left(), box.top(), kTimeColumn, box.height());
    Style::drawLine(painter, time, qt(RelativeTime::compact(session.lastActivity)), timeFont,
                    Style::cream(style.selected ? 0.62 : 0.5));

    const double iconX = time.right() + kIdentitySpacing;
    const QRectF icon(iconX, box.center().y() - style.iconSize / 2, style.iconSize, style.iconSize);
    paintAgentIcon(painter, icon, agentLook(session.agent));
    painter.setOpacity(base);
    paintActivityBadge(painter, icon, style.activity);

    const double messageX = icon.right() + kIdentitySpacing;
    const QRectF project(box.right() - kProjectColumn, box.top(), kProjectColumn, box.height());
    const double messageRight = project.left() - kMinimumGap;
    const double messageOpacity = style.selected ? 0.95 : 0.72;
    const QRectF message(messageX, box.top(), std::max(0.0, messageRight - messageX), box.height());
    if (session.lastUserMessage) {
        Style::drawLine(painter, message, qt(*session.lastUserMessage),
                        Style::font(Face::system, 11.5,
                                    style.selected ? QFont::Medium : QFont::Normal, false, device),
                        Style::cream(messageOpacity));
    } else {
        Style::drawLine(painter, message, placeholder(),
                        Style::font(Face::system, 11.5,
                                    style.selected ? QFont::Medium : QFont::Normal, true, device),
                        Style::cream(messageOpacity / 2));
    }

    Style::drawLine(painter, project, qt(session.project),
                    Style::font(Face::system, 10, QFont::Normal, false, device), Style::cream(0.32),
                    Qt::AlignRight | Qt::AlignVCenter, Qt::ElideMiddle);
}

QColor activityColor(Activity activity) {
    switch (activity) {
        case Activity::working:
            return Style::teal(1);
        case Activity::finished:
            return Style::toColor(ContextSegment::staleColor);
        case Activity::idle:
            break;
    }
    return Qt::transparent;
}

void paintActivityBadge(QPainter& painter, const QRectF& icon, Activity activity) {
    if (activity == Activity::idle) return;
    const double size = std::max(5.0, icon.width() * 0.42);
    const QPointF centre(icon.right() - size * 0.3, icon.bottom() - size * 0.3);
    Style::fillDot(painter, centre, size + 3, QColor(Qt::black));
    Style::fillDot(painter, centre, size, activityColor(activity));
}

void paintMessageLine(QPainter& painter, const QRectF& box, const QString& time,
                      const std::optional<std::string>& message, const QPaintDevice* device) {
    const QFont& timeFont = Style::font(Face::system, 10, QFont::Medium, false, device);
    // The time is never cut; the message yields.
    const double timeWidth = std::min(box.width(), Style::textWidth(timeFont, time, device));
    Style::drawLine(painter, QRectF(box.left(), box.top(), timeWidth, box.height()), time, timeFont,
                    Style::cream(0.34));
    const QRectF rest(box.left() + timeWidth + 8, box.top(),
                      std::max(0.0, box.width() - timeWidth - 8), box.height());
    if (message) {
        Style::drawLine(painter, rest, qt(*message),
                        Style::font(Face::system, 11.5, QFont::Normal, false, device),
                        Style::cream(0.66));
    } else {
        Style::drawLine(painter, rest, placeholder(),
                        Style::font(Face::system, 11.5, QFont::Normal, true, device),
                        Style::cream(0.34));
    }
}

namespace {

constexpr double kChipDot = 5;
constexpr double kChipSpacing = 4;
constexpr double kChipPadX = 7;
constexpr double kChipPadY = 3;

QString chipTotal(const QString& total) {
    return QStringLiteral("/ ") + total;
}

}  // namespace

double signalChipWidth(const QString& label, const QString& total, const QPaintDevice* device) {
    const double labelWidth = Style::textWidth(
        Style::font(Face::mono, 10.5, QFont::DemiBold, false, device), label, device);
    const double totalWidth = Style::textWidth(
        Style::font(Face::mono, 10.5, QFont::Medium, false, device), chipTotal(total), device);
    return kChipPadX + kChipDot + kChipSpacing + labelWidth + kChipSpacing + totalWidth + kChipPadX;
}

double signalChipHeight(const QPaintDevice* device) {
    return std::ceil(Style::lineHeight(Style::font(Face::mono, 10.5, QFont::Medium, false, device),
                                       device)) +
           2 * kChipPadY;
}

void paintSignalChip(QPainter& painter, const QRectF& box, const QString& label,
                     const QString& total, const QColor& tint, const QPaintDevice* device) {
    QColor fill = tint;
    fill.setAlphaF(tint.alphaF() * 0.14f);
    Style::fillCapsule(painter, box, fill);

    double x = box.left() + kChipPadX;
    Style::fillDot(painter, {x + kChipDot / 2, box.center().y()}, kChipDot, tint);
    x += kChipDot + kChipSpacing;

    const QFont& labelFont = Style::font(Face::mono, 10.5, QFont::DemiBold, false, device);
    const double labelWidth = Style::textWidth(labelFont, label, device);
    Style::drawLine(painter, QRectF(x, box.top(), labelWidth + 1, box.height()), label, labelFont,
                    tint);
    x += labelWidth + kChipSpacing;

    const QFont& totalFont = Style::font(Face::mono, 10.5, QFont::Medium, false, device);
    Style::drawLine(painter, QRectF(x, box.top(), box.right() - kChipPadX - x + 1, box.height()),
                    chipTotal(total), totalFont, Style::cream(0.42));
}

}  // namespace wren::SessionParts
