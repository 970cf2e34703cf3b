#pragma once

#include <QPointer>
#include <functional>
#include <optional>

#include "models/animation.h"
#include "views/island_part.h"
#include "views/session_detail.h"
#include "core/sessions/context_model.h"
#include "core/sessions/session_actions.h"

namespace wren {

class SessionDetail;

/// One session of the open island: a line with its time, agent, last message, project, tokens
/// and score, and while selected the detail below it. Keeps its own hover flag and hint, so the
/// list reuses an entry for as long as its session stays listed.
class SessionEntry final : public PressablePart {
    Q_OBJECT

  public:
    static constexpr double kLineHeight = 24;  // the row line with its padding
    static constexpr double kDetailGap = 10;

    explicit SessionEntry(QWidget* parent = nullptr);

    void setSession(const SessionSummary& session, const RateWindows& windows,
                    const InstallState& installs);
    /// The dot on the agent icon: working, finished or (no dot) idle.
    void setActivity(Activity activity);
    /// Every known quota window for the detail, seen at `now`.
    void setQuotas(const QuotaWindows& quotas, Instant now);
    /// Selected shows the detail; dimmed fades the entry to 0.3. Both move with `motion`.
    void setSelection(bool selected, bool dimmed, const anim::Motion& motion);
    void setOnTap(std::function<void()> onTap) { setAction(std::move(onTap)); }
    void setActions(RowActionHandlers actions) { actions_ = std::move(actions); }
    /// A sample row (no real session was found): its buttons only say that it is a sample.
    void setSample(bool sample) { sample_ = sample; }

    const SessionSummary& session() const { return session_; }
    const std::optional<Hint>& hint() const { return hint_; }
    /// Applies what an action decided: absent clears the hint, a value shows it.
    void applyHint(const HintChange& change);

    /// The entry's height now: the line, plus as much of the detail as has come in.
    double currentHeight() const { return currentHeight_; }
    bool advance(double now) override;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    /// Only the row line selects; the detail below it does not.
    QRectF pressArea() const override { return lineRect(); }

  private:
    QRectF lineRect() const;
    void ensureDetail();
    RowActionHandlers::Done hintSink();

    SessionSummary session_;
    RateWindows windows_;
    InstallState installs_;
    Activity activity_ = Activity::idle;
    QuotaWindows quotas_;
    Instant quotasSeenAt_;
    bool selected_ = false;
    bool dimmed_ = false;
    bool sample_ = false;
    std::optional<Hint> hint_;
    RowActionHandlers actions_ = RowActionHandlers::immediate();

    SessionDetail* detail_ = nullptr;  // while selected, and while it fades out
    anim::AnimatedValue presence_{0};  // 0 hidden … 1 shown: the detail's fade, slide and room
    anim::AnimatedValue opacity_{1};   // 0.3 while dimmed
    double currentHeight_ = kLineHeight;
};

}  // namespace wren
