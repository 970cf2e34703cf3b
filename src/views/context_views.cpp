#include "views/context_views.h"

#include <QPainter>
#include <cmath>

#include "views/agent_icon.h"
#include "views/session_entry.h"
#include "views/session_parts.h"
#include "views/style.h"
#include "widget/relative_time.h"
#include "widget/token_format.h"
#include "widget/wren_context_widget.h"

namespace wren {
namespace {

using Style::Face;

QString qt(const std::string& s) {
    return QString::fromStdString(s);
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

    const double band = layout_.bandHeight();
    const double column = layout_.sideColumn(inset_);
    const double left = inset_;
    const double right = width() - inset_;

    const QFont& f = Style::font(Face::mono, 10, QFont::Medium, false, this);
    Style::drawLine(painter, QRectF(left, 0, column, band),
                    qt(TokenFormat::shortForm(widget_.tokensToday())) + QStringLiteral(" today"), f,
                    Style::cream(0.4));
    paintActivityGroup(painter, QRectF(right - column, 0, column, band), widget_, 0.4, this);

    const std::optional<SessionSummary> active = widget_.active();
    if (!active) return;
    // The newest session fills what the band leaves, above a 2-point bottom padding.
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

    const double band = layout_.bandHeight();
    const double column = layout_.sideColumn(headerInset_);
    const double left = headerInset_;
    const double right = width() - headerInset_;

    const QFont& tokensFont = Style::font(Face::mono, 11, QFont::DemiBold, false, this);
    const QFont& todayFont = Style::font(Face::system, 10, QFont::Normal, false, this);
    const QString tokens = qt(TokenFormat::shortForm(widget_.tokensToday()));
    const double tokensWidth = std::min(column, Style::textWidth(tokensFont, tokens, this));
    painter.save();
    painter.setClipRect(QRectF(left, 0, column, band));
    Style::drawLine(painter, QRectF(left, 0, tokensWidth, band), tokens, tokensFont,
                    Style::cream(0.85));
    const double todayLeft = left + tokensWidth + 6;
    Style::drawLine(painter, QRectF(todayLeft, 0, std::max(0.0, left + column - todayLeft), band),
                    QStringLiteral("today"), todayFont, Style::cream(0.4));
    painter.restore();

    paintActivityGroup(painter, QRectF(right - column, 0, column, band), widget_, 0.45, this);
}

}  // namespace wren
