#include "views/session_entry.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "views/session_parts.h"
#include "views/style.h"
#include "core/sessions/token_format.h"

namespace wren {
namespace {

using Style::Face;

constexpr double kPadX = 6;
constexpr double kPadY = 4;
constexpr double kTokenColumn = 44;
constexpr double kTokenLead = 10;
constexpr double kScoreColumn = 40;
constexpr double kScoreLead = 8;
constexpr double kDetailIndent = 43;  // in line with the agent icon: time column 34 + 9
constexpr double kDetailTrail = 2;

// Showing a hint eases in; clearing it uses the plain default.
const anim::Motion kShowHint = anim::easeOut(0.16);
const anim::Motion kClearHint = anim::kDefault;

}  // namespace

SessionEntry::SessionEntry(QWidget* parent) : PressablePart(parent) {}

void SessionEntry::setSession(const SessionSummary& session, const RateWindows& windows,
                              const InstallState& installs) {
    session_ = session;
    windows_ = windows;
    installs_ = installs;
    if (detail_ != nullptr) detail_->setSession(session_, windows_, installs_);
    update();
}

void SessionEntry::setActivity(Activity activity) {
    if (activity == activity_) return;
    activity_ = activity;
    update();
}

void SessionEntry::setQuotas(const QuotaWindows& quotas, Instant now) {
    quotas_ = quotas;
    quotasSeenAt_ = now;
    if (detail_ != nullptr) detail_->setQuotas(quotas_, quotasSeenAt_);
}

void SessionEntry::setSelection(bool selected, bool dimmed, const anim::Motion& motion) {
    anim::Animator& animator = anim::Animator::instance();
    if (selected != selected_) {
        selected_ = selected;
        if (selected) ensureDetail();
        animator.animate(presence_, selected ? 1 : 0, motion);
    }
    if (dimmed != dimmed_) {
        dimmed_ = dimmed;
        animator.animate(opacity_, dimmed ? 0.3 : 1, motion);
    }
    update();
    requestFrames();
}

void SessionEntry::ensureDetail() {
    if (detail_ != nullptr) return;
    // A fresh detail each time the row opens, so its buttons start without hover.
    detail_ = new SessionDetail(this);
    detail_->setSession(session_, windows_, installs_);
    detail_->setQuotas(quotas_, quotasSeenAt_);
    if (hint_) detail_->setHint(hint_, anim::kJump);
    QPointer<SessionEntry> self(this);
    // A sample row acts on nothing: every button says so instead.
    const auto sampleOnly = [self] {
        if (!self || !self->sample_) return false;
        self->applyHint(SessionActions::sampleOnly());
        return true;
    };
    detail_->setActions(
        [self, sampleOnly] {
            if (self && !sampleOnly()) self->actions_.open(self->session_, self->hintSink());
        },
        [self, sampleOnly](Agent agent) {
            if (self && !sampleOnly()) self->actions_.start(agent, self->hintSink());
        },
        [self, sampleOnly] {
            if (self && !sampleOnly()) self->actions_.saveMemory(self->hintSink());
        },
        [self](const QString& url) {
            if (self && self->actions_.openLink) self->actions_.openLink(url);
        });
    detail_->setOpacity(0);
    detail_->show();
}

RowActionHandlers::Done SessionEntry::hintSink() {
    QPointer<SessionEntry> self(this);
    return [self](HintChange change) {
        if (self) self->applyHint(change);
    };
}

void SessionEntry::applyHint(const HintChange& change) {
    if (change == hint_) return;
    hint_ = change;
    if (detail_ != nullptr) detail_->setHint(hint_, hint_ ? kShowHint : kClearHint);
}

QRectF SessionEntry::lineRect() const {
    return {0, 0, static_cast<double>(width()), kLineHeight};
}

bool SessionEntry::advance(double now) {
    const double presence = presence_.value(now);
    const bool moving = presence_.isMoving(now) || opacity_.isMoving(now);
    setOpacity(opacity_.value(now));

    const double detailRoom = kDetailGap + SessionDetail::kHeight;
    currentHeight_ = kLineHeight + std::max(0.0, presence) * detailRoom;
    if (detail_ != nullptr) {
        if (!selected_ && !presence_.isMoving(now)) {
            detail_->deleteLater();
            detail_->hide();
            detail_ = nullptr;
        } else {
            const double slide = -4 * (1 - presence);
            detail_->setOpacity(unitClamp(presence));
            detail_->setGeometry(
                static_cast<int>(kPadX + kDetailIndent),
                static_cast<int>(std::round(kLineHeight - kPadY + kDetailGap + slide)),
                std::max(0, static_cast<int>(width() - 2 * kPadX - kDetailIndent - kDetailTrail)),
                static_cast<int>(SessionDetail::kHeight));
        }
    }
    const bool childMoving = IslandPart::advance(now);
    return moving || childMoving;
}

QSize SessionEntry::sizeHint() const {
    return {456, static_cast<int>(std::ceil(currentHeight_))};
}

void SessionEntry::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);

    const double highlight = selected_ ? 0.06 : (isHovering() && !dimmed_) ? 0.05 : 0;
    if (highlight > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Style::cream(highlight));
        painter.drawRoundedRect(QRectF(0, 0, width(), currentHeight_), 8, 8);
    }

    const QRectF line(kPadX, kPadY, width() - 2 * kPadX, kLineHeight - 2 * kPadY);
    const QRectF score(line.right() - kScoreColumn, line.top(), kScoreColumn, line.height());
    const QRectF tokens(score.left() - kScoreLead - kTokenColumn, line.top(), kTokenColumn,
                        line.height());
    const QRectF identity(line.left(), line.top(), tokens.left() - kTokenLead - line.left(),
                          line.height());

    SessionParts::paintIdentity(painter, identity, session_, {selected_, 14, activity_}, this);

    const std::int64_t total = session_.totalTokens();
    Style::drawLine(painter, tokens,
                    total > 0 ? QString::fromStdString(TokenFormat::shortForm(total))
                              : QString::fromUtf8(kEmDash),
                    Style::font(Face::mono, 10.5, QFont::Normal, false, this),
                    Style::cream(total > 0 ? 0.42 : 0.25), Qt::AlignRight | Qt::AlignVCenter);
    Style::drawLine(painter, score, QString::fromStdString(session_.scoreLabel()),
                    Style::font(Face::mono, 10.5, QFont::Medium, false, this),
                    Style::tint(session_), Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace wren
