#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QRectF>
#include <QString>
#include <optional>

#include "core/transcripts/agent.h"

class QPainter;

namespace wren {

/// How an agent is shown wherever the island names it: its icon resource and its tint.
struct AgentLook {
    QString resource;  // "agent-claude" or "agent-codex"
    QColor tint;       // opaque sRGB
};
const AgentLook& agentLook(Agent agent);

/// The agents' icon images from the application's resources (":/icons/<name>.png"), loaded on
/// first use and kept for the life of the process. A missing or undecodable image is not
/// remembered, so it is looked up again next time. GUI thread only.
class AgentIconStore {
  public:
    static std::optional<QImage> image(const QString& name);
    /// How many times a file was actually decoded (tests check the cache).
    static int loadCount();
    /// Where images are looked up; tests point it at a missing directory to see the fallback.
    /// Forgets the images loaded so far, so the next call looks in the new place.
    static void setResourcePrefix(const QString& prefix);
};

/// Draws an agent icon into `square` (its left-top corner and edge length; width is used): the
/// image scaled to fit with its proportions kept, or a rounded square in the tint when the
/// image is missing; clipped to a rounded square of radius 0.28 × size, with a shadow of black
/// at 0.5, blur 2, one point down. `saturation` 0 draws it grey (the not-installed pill); the
/// painter's opacity applies to all of it.
void paintAgentIcon(QPainter& painter, const QRectF& square, const AgentLook& look,
                    double saturation = 1);

}  // namespace wren
