#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <optional>
#include <string>

#include "core/transcripts/session_summary.h"

class QPainter;
class QPaintDevice;

namespace wren {

/// The small pieces a session is drawn from, shared by the row and the collapsed strip. Each
/// is a paint function over a box its caller laid out.
namespace SessionParts {

/// Shown for a session whose last message is not known yet.
QString placeholder();

/// Fonts and opacities of a session's identity line; the row's selected and plain looks.
struct IdentityStyle {
    bool selected = false;
    double iconSize = 14;
    Activity activity = Activity::idle;
};

/// A static dot on the agent icon's lower trailing corner, ringed in black so it reads on the
/// icon: teal while the agent works, amber once it has finished and waits; nothing when idle.
void paintActivityBadge(QPainter& painter, const QRectF& icon, Activity activity);
/// The badge's colour, for tests and the legend; transparent when idle.
QColor activityColor(Activity activity);

/// Relative time (34 wide), agent icon, last message (or the placeholder, in italics at half
/// opacity), and the project cut in the middle, 92 wide at the trailing end of `box`.
void paintIdentity(QPainter& painter, const QRectF& box, const SessionSummary& session,
                   const IdentityStyle& style, const QPaintDevice* device);

/// The strip's line: the time at its natural width, then the message (or the placeholder).
void paintMessageLine(QPainter& painter, const QRectF& box, const QString& time,
                      const std::optional<std::string>& message, const QPaintDevice* device);

/// The score pill: a dot and the label in the tint, "/ total" in cream, on a faint capsule.
double signalChipWidth(const QString& label, const QString& total, const QPaintDevice* device);
double signalChipHeight(const QPaintDevice* device);
void paintSignalChip(QPainter& painter, const QRectF& box, const QString& label,
                     const QString& total, const QColor& tint, const QPaintDevice* device);

}  // namespace SessionParts
}  // namespace wren
