#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/discovery/install_state.h"
#include "core/discovery/rate_limits.h"
#include "core/transcripts/session_summary.h"
#include "models/animation.h"
#include "views/island_part.h"
#include "core/sessions/context_model.h"
#include "models/row_actions.h"
#include "core/sessions/session_actions.h"

namespace wren {

/// The share of a remaining quota a pill shows, and how it is tinted.
namespace Quota {
/// What is left of the window: 100 − the used percentage it reports; absent when unknown or
/// not a finite number that fits after rounding.
std::optional<double> remaining(const std::optional<RateWindow>& window);
/// The whole percentage shown: rounded half away from zero and clamped to 0…100.
std::int64_t shownPercent(double remaining);
/// Red below 10, amber up to 29, else cream at 0.45 (also without a window).
QColor tint(std::optional<double> remaining);
}  // namespace Quota

/// Widths of the composition bar's capsules: each segment's share of `total` in the width left
/// after the gaps, at least 3 so a tiny share stays visible; all 0 when `total` is not positive.
/// Not renormalised, so the capsules may add up to more or less than the width.
std::vector<double> compositionWidths(const std::vector<ContextSegment>& segments,
                                      std::int64_t total, double width, double gap);

/// How the legend under the composition bar fits in `width` (what the context figure leaves):
/// every item at the widest spacing step that lets them all fit, else as many whole items as fit
/// at the tightest, from the first. An item is a 5-wide dot, its label and its count.
struct LegendFit {
    std::size_t shown = 0;  // items drawn, from the first
    double labelGap = 0;    // between the dot and the label
    double countGap = 0;    // between the label and the count
    double itemGap = 0;     // between one item's count and the next one's dot
};
LegendFit fitLegend(const std::vector<double>& labelWidths, const std::vector<double>& countWidths,
                    double width);

/// "Claude 42% left · 5 h": starts a new session in an agent, tinted by what is left of the
/// quota window that will stop it first.
class AgentStartPill final : public PressablePart {
    Q_OBJECT

  public:
    AgentStartPill(Agent agent, QWidget* parent = nullptr);
    void setState(std::optional<RateWindow> window, bool installed);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString percentText() const;

    Agent agent_;
    std::optional<RateWindow> window_;
    bool installed_ = false;
};

/// A round button with a glyph and a tooltip: reopens the session.
class IconPill final : public PressablePart {
    Q_OBJECT

  public:
    explicit IconPill(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {26, 22}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
};

/// "Save memory" with its glyph, dimmed while the companion is absent.
class SecondaryPill final : public PressablePart {
    Q_OBJECT

  public:
    explicit SecondaryPill(QWidget* parent = nullptr);
    void setEnabledLook(bool enabled);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool enabledLook_ = false;
};

/// The row's hint: a short text and, when it has an address, an underlined link.
class HintLine final : public IslandPart {
    Q_OBJECT

  public:
    explicit HintLine(QWidget* parent = nullptr);
    void setHint(const Hint& hint);
    void setOpenLink(std::function<void(const QString&)> open) { openLink_ = std::move(open); }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QRectF linkRect() const;

    Hint hint_;
    std::function<void(const QString&)> openLink_;
};

/// Below a selected row: the composition bar and legend, the context fill, a start button per
/// agent, "Save memory", the reopen button and the row's hint.
class SessionDetail final : public IslandPart {
    Q_OBJECT

  public:
    static constexpr double kHeight = 128;

    explicit SessionDetail(QWidget* parent = nullptr);

    void setSession(const SessionSummary& session, const RateWindows& windows,
                    const InstallState& installs);
    /// Every known quota window, seen at `now`: each pill shows the one that stops its agent
    /// first, and a column per agent lists them all with their resets.
    void setQuotas(const QuotaWindows& quotas, Instant now);
    /// Shows `hint` (fading in) or, when absent, fades the shown one out.
    void setHint(const std::optional<Hint>& hint, const anim::Motion& motion);
    void setActions(std::function<void()> open, std::function<void(Agent)> start,
                    std::function<void()> saveMemory, std::function<void(const QString&)> link);

    bool advance(double now) override;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void layoutChildren();
    QString contextText() const;

    void updatePills();

    SessionSummary session_;
    RateWindows windows_;
    QuotaWindows quotas_;
    bool claudeInstalled_ = false;
    bool codexInstalled_ = false;
    // One column per agent with windows: its name (and the figures' age), then its windows.
    std::vector<std::vector<QString>> quotaColumns_;
    AgentStartPill* claude_;
    AgentStartPill* codex_;
    SecondaryPill* save_;
    IconPill* reopen_;
    HintLine* hint_;
    anim::AnimatedValue hintOpacity_{0};
    double startLabelWidth_ = 0;
};

}  // namespace wren
