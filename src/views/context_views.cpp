#include "views/context_views.h"

#include <QPainter>
#include <cmath>

#include "views/agent_icon.h"
#include "views/session_entry.h"
#include "views/session_parts.h"
#include "views/style.h"
#include "platform/qt_text.h"
#include "core/sessions/relative_time.h"
#include "core/sessions/token_format.h"
#include "models/wren_context_widget.h"

namespace wren {
namespace {

using Style::Face;

// How the band reads: quieter in the strip than as the open island's header.
struct BandLook {
    const QFont& tokens;
    QColor tokensColour;
    const QFont& today;
    double todayGap;
    double activityOpacity;
};

// The band along the top of both: today's tokens left of the notch, time worked and active
// sessions right of it.
void paintBand(QPainter& painter, const IslandLayout& layout, double inset, double width,
               const WrenContextWidget& widget, const BandLook& look, const QPaintDevice* device) {
    const double band = layout.bandHeight();
    const double column = layout.sideColumn(inset);
    const QString tokens = qt(TokenFormat::shortForm(widget.tokensToday()));
    const double tokensWidth = std::min(column, Style::textWidth(look.tokens, tokens, device));
    painter.save();
    painter.setClipRect(QRectF(inset, 0, column, band));
    Style::drawLine(painter, QRectF(inset, 0, tokensWidth, band), tokens, look.tokens,
                    look.tokensColour);
    const double todayLeft = inset + tokensWidth + look.todayGap;
    Style::drawLine(painter, QRectF(todayLeft, 0, std::max(0.0, inset + column - todayLeft), band),
                    QStringLiteral("today"), look.today, Style::cream(0.4));
    painter.restore();
    paintActivityGroup(painter, QRectF(width - inset - column, 0, column, band), widget,
                       look.activityOpacity, device);
}

}  // namespace

void paintActivityGroup(QPainter& painter, const QRectF& column, const WrenContextWidget& widget,
                        double opacity, const QPaintDevice* device) {
    const QFont& f = Style::font(Face::mono, 10, QFont::Medium, false, device);
    const QString worked = qt(TokenFormat::duration(widget.workedToday()));
    const QString dot = QStringLiteral("\u00B7");
    const QString active =
        QString::number(static_cast<long long>(widget.activeCount())) + QStringLiteral(" active");
    // The sessions that wait for the user: the rows' finished dot and their count, kept short
    // so the group still fits beside the notch.
    const qint64 waitingCount = widget.waitingCount();
    const QString waiting =
        waitingCount > 0 ? QString::number(static_cast<long long>(waitingCount)) : QString();
    const double kWaitDot = 5;
    const double wWaiting =
        waiting.isEmpty() ? 0 : 5 + kWaitDot + 3 + Style::textWidth(f, waiting, device);
    const double wWorked = Style::textWidth(f, worked, device);
    const double wDot = Style::textWidth(f, dot, device);
    const double wActive = Style::textWidth(f, active, device);
    const double total = wWorked + 6 + wDot + 6 + wActive + wWaiting;
    if (column.width() <= 0) return;

    painter.save();
    painter.setClipRect(column);
    if (total > column.width()) {
        // One line, cut at its end: draw it as a single elided string.
        Style::drawLine(painter, column,
                        worked + QStringLiteral(" ") + dot + QStringLiteral(" ") + active, f,
                        Style::cream(opacity));
    } else {
        double x = column.right() - total;
        Style::drawLine(painter, QRectF(x, column.top(), wWorked + 1, column.height()), worked, f,
                        Style::cream(opacity));
        x += wWorked + 6;
        Style::drawLine(painter, QRectF(x, column.top(), wDot + 1, column.height()), dot, f,
                        Style::cream(0.22));
        x += wDot + 6;
        Style::drawLine(painter, QRectF(x, column.top(), wActive + 1, column.height()), active, f,
                        Style::cream(opacity));
        if (!waiting.isEmpty()) {
            x += wActive + 5;
            const QColor amber = SessionParts::activityColor(Activity::finished);
            Style::fillDot(painter, {x + kWaitDot / 2, column.center().y()}, kWaitDot, amber);
            x += kWaitDot + 3;
            Style::drawLine(painter, QRectF(x, column.top(), column.right() - x, column.height()),
                            waiting, f, amber);
        }
    }
    painter.restore();
}

// Said where today's totals would be while the rows are samples, so that nothing made up
// passes for real usage: across the band where no camera housing is in the way, else split
// around the notch.
void paintSampleNotice(QPainter& painter, const IslandLayout& layout, double left, double right,
                       double column, double opacity, const QPaintDevice* device) {
    const QFont& f = Style::font(Face::mono, 10, QFont::Medium, false, device);
    const double band = layout.bandHeight();
    if (!layout.hasPhysicalNotch) {
        Style::drawLine(painter, QRectF(left, 0, std::max(0.0, right - left), band),
                        QStringLiteral("No sessions in the last 24 hours \u2014 samples"), f,
                        Style::cream(opacity), Qt::AlignHCenter | Qt::AlignVCenter);
        return;
    }
    Style::drawLine(painter, QRectF(left, 0, column, band), QStringLiteral("No sessions in 24 h"),
                    f, Style::cream(opacity));
    Style::drawLine(painter, QRectF(right - column, 0, column, band), QStringLiteral("samples"), f,
                    Style::cream(opacity), Qt::AlignRight | Qt::AlignVCenter);
}

// ---- Strip ----

WrenContextStrip::WrenContextStrip(const WrenContextWidget& widget, QWidget* parent)
    : IslandPart(parent), widget_(widget) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void WrenContextStrip::setIslandLayout(const IslandLayout& layout) {
    layout_ = layout;
    update();
}

void WrenContextStrip::setInset(double inset) {
    inset_ = inset;
    update();
}

void WrenContextStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);

    if (widget_.showsSamples()) {
        paintSampleNotice(painter, layout_, inset_, width() - inset_, layout_.sideColumn(inset_),
                          0.4, this);
    } else {
        const QFont& f = Style::font(Face::mono, 10, QFont::Medium, false, this);
        paintBand(painter, layout_, inset_, width(), widget_,
                  {f, Style::cream(0.4), f, Style::textWidth(f, QStringLiteral(" "), this), 0.4},
                  this);
    }

    const std::optional<SessionSummary> active = widget_.active();
    if (!active) return;
    // The newest session fills what the band leaves, above a 2-point bottom padding.
    const double band = layout_.bandHeight();
    const double left = inset_;
    const double right = width() - inset_;
    const QRectF row(left, band, right - left, std::max(0.0, height() - band - 2));
    const double icon = 17;
    const double mid = row.center().y();
    const QRectF iconBox(row.left(), mid - icon / 2, icon, icon);
    paintAgentIcon(painter, iconBox, agentLook(active->agent));
    painter.setOpacity(paintOpacity());
    SessionParts::paintActivityBadge(painter, iconBox, widget_.activity(*active));

    const QString label = qt(active->scoreLabel());
    const QString total = qt(TokenFormat::shortForm(active->totalTokens()));
    const double chipWidth = SessionParts::signalChipWidth(label, total, this);
    const double chipHeight = SessionParts::signalChipHeight(this);
    const QRectF chip(row.right() - chipWidth, mid - chipHeight / 2, chipWidth, chipHeight);
    SessionParts::paintSignalChip(painter, chip, label, total, Style::tint(*active), this);

    const double messageLeft = row.left() + icon + 9;
    const QRectF message(messageLeft, row.top(), std::max(0.0, chip.left() - 4 - 9 - messageLeft),
                         row.height());
    SessionParts::paintMessageLine(painter, message,
                                   qt(RelativeTime::longForm(active->lastActivity)),
                                   active->lastUserMessage, this);
}

// ---- Expanded view ----

WrenContextView::WrenContextView(const WrenContextWidget& widget, QWidget* parent)
    : IslandPart(parent), widget_(widget) {}

void WrenContextView::setIslandLayout(const IslandLayout& layout) {
    layout_ = layout;
    requestFrames();
    update();
}

void WrenContextView::setInsets(double header, double body) {
    headerInset_ = header;
    bodyInset_ = body;
    requestFrames();
}

void WrenContextView::setActions(RowActionHandlers actions) {
    actions_ = std::move(actions);
    for (SessionEntry* entry : entries_) entry->setActions(actions_);
}

void WrenContextView::setSelection(IslandSelection selection, const anim::Motion& motion) {
    selection_ = std::move(selection);
    for (SessionEntry* entry : entries_) applySelection(entry, motion);
    requestFrames();
}

void WrenContextView::applySelection(SessionEntry* entry, const anim::Motion& motion) {
    const std::string& id = entry->session().id;
    const bool selected = selection_.id && *selection_.id == id;
    const bool dimmed = selection_.id && *selection_.id != id;
    entry->setSelection(selected, dimmed, motion);
}

void WrenContextView::syncSessions() {
    std::map<std::string, SessionEntry*> previous;
    for (SessionEntry* entry : entries_) previous.emplace(entry->session().id, entry);

    std::vector<SessionEntry*> next;
    for (const SessionSummary& session : widget_.sessions()) {
        SessionEntry* entry = nullptr;
        auto found = previous.find(session.id);
        if (found != previous.end()) {
            entry = found->second;
            previous.erase(found);
        } else {
            entry = new SessionEntry(this);
            entry->setActions(actions_);
            entry->show();
        }
        entry->setSession(session, widget_.windows(), widget_.installs());
        entry->setSample(widget_.showsSamples());
        entry->setActivity(widget_.activity(session));
        entry->setQuotas(widget_.quotas(), widget_.now());
        const std::string id = session.id;
        entry->setOnTap([this, id] { selection_.toggle(id); });
        applySelection(entry, anim::kJump);
        next.push_back(entry);
    }
    for (auto& [id, gone] : previous) {
        gone->hide();
        gone->deleteLater();
    }
    entries_ = std::move(next);
    requestFrames();
    update();
}

bool WrenContextView::advance(double now) {
    const bool moving = IslandPart::advance(now);
    // Rows stack from under the header, 1 apart; each is as tall as its detail has come in.
    const double left = bodyInset_ - 6;
    const double rowWidth = std::max(0.0, width() - 2 * left);
    double y = layout_.bandHeight() + 4;
    for (SessionEntry* entry : entries_) {
        const int height = static_cast<int>(std::ceil(entry->currentHeight()));
        entry->setGeometry(static_cast<int>(left), static_cast<int>(std::round(y)),
                           static_cast<int>(rowWidth), height);
        y += entry->currentHeight() + 1;
    }
    return moving;
}

void WrenContextView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);

    if (widget_.showsSamples()) {
        paintSampleNotice(painter, layout_, headerInset_, width() - headerInset_,
                          layout_.sideColumn(headerInset_), 0.45, this);
        return;
    }
    paintBand(painter, layout_, headerInset_, width(), widget_,
              {Style::font(Face::mono, 11, QFont::DemiBold, false, this), Style::cream(0.85),
               Style::font(Face::system, 10, QFont::Normal, false, this), 6, 0.45},
              this);
}

}  // namespace wren
