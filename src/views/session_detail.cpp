#include "views/session_detail.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "views/agent_icon.h"
#include "views/style.h"
#include "views/symbols.h"
#include "platform/qt_text.h"
#include "core/sessions/quota_format.h"
#include "core/sessions/token_format.h"

namespace wren {
namespace {

using Style::Face;

QString shortTokens(std::int64_t tokens) {
    return qt(TokenFormat::shortForm(tokens));
}

// Rows of the detail, top to bottom, with 9 between them and 2 below the last.
constexpr double kBarHeight = 7;
constexpr double kLegendTop = 16;
constexpr double kLegendHeight = 13;
constexpr double kStartTop = 38;
constexpr double kQuotaTop = 64;
constexpr double kQuotaLineHeight = 12;
constexpr std::size_t kQuotaLines = 3;  // the agent, its 5-hour and its weekly window
constexpr double kActionTop = 102;
constexpr double kButtonRowHeight = 24;

}  // namespace

namespace Quota {

std::optional<double> remaining(const std::optional<RateWindow>& window) {
    if (!window) return std::nullopt;
    const double left = 100 - window->reportedPercent;
    // Beyond this a rounded value no longer fits a 64-bit integer: no honest number to show.
    if (!std::isfinite(left) || std::fabs(left) >= 9.2e18) return std::nullopt;
    return left;
}

std::int64_t shownPercent(double remaining) {
    const double rounded = std::round(remaining);  // halves away from zero
    return static_cast<std::int64_t>(std::clamp(rounded, 0.0, 100.0));
}

QColor tint(std::optional<double> remaining) {
    if (!remaining) return Style::cream(0.45);
    const double rounded = std::round(*remaining);
    if (rounded < 10) return QColor::fromRgbF(0.94f, 0.48f, 0.44f);
    if (rounded <= 29) return QColor::fromRgbF(0.94f, 0.76f, 0.40f);
    return Style::cream(0.45);
}

}  // namespace Quota

std::vector<double> compositionWidths(const std::vector<ContextSegment>& segments,
                                      std::int64_t total, double width, double gap) {
    const double n = static_cast<double>(segments.size());
    const double available = std::max(0.0, width - gap * std::max(n - 1, 0.0));
    std::vector<double> widths;
    widths.reserve(segments.size());
    for (const ContextSegment& segment : segments) {
        widths.push_back(total > 0 ? std::max(3.0, static_cast<double>(segment.tokens) * available /
                                                       static_cast<double>(total))
                                   : 0.0);
    }
    return widths;
}

// ---- Buttons ----

namespace {

constexpr double kPillIcon = 13;

const QFont& pillNameFont(const QPaintDevice* d) {
    return Style::font(Face::system, 11, QFont::DemiBold, false, d);
}
const QFont& percentFont(const QPaintDevice* d) {
    return Style::font(Face::mono, 10, QFont::Medium, false, d);
}

}  // namespace

AgentStartPill::AgentStartPill(Agent agent, QWidget* parent)
    : PressablePart(parent), agent_(agent) {}

void AgentStartPill::setState(std::optional<RateWindow> window, bool installed) {
    window_ = window;
    installed_ = installed;
    updateGeometry();
    update();
}

QString AgentStartPill::percentText() const {
    const std::optional<double> left = Quota::remaining(window_);
    if (!installed_ || !left) return {};
    return QString::number(Quota::shownPercent(*left)) + QStringLiteral("% left \u00b7 ") +
           qt(QuotaFormat::length(window_->windowMinutes));
}

QSize AgentStartPill::sizeHint() const {
    double width = 7 + kPillIcon + 6 +
                   Style::textWidth(pillNameFont(this), qt(std::string(rawValue(agent_))), this);
    const QString percent = percentText();
    if (!percent.isEmpty()) width += 6 + Style::textWidth(percentFont(this), percent, this);
    width += 10;
    const double height = 5 + std::max(kPillIcon, Style::lineHeight(pillNameFont(this), this)) + 5;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void AgentStartPill::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);
    const QRectF box = rect();
    const QColor fill = !installed_    ? Style::cream(0.06)
                        : isHovering() ? Style::teal(0.32)
                                       : Style::teal(0.18);
    Style::fillCapsule(painter, box, fill);

    const double base = painter.opacity();
    double x = 7;
    painter.setOpacity(base * (installed_ ? 1 : 0.4));
    paintAgentIcon(painter, QRectF(x, box.center().y() - kPillIcon / 2, kPillIcon, kPillIcon),
                   agentLook(agent_), installed_ ? 1 : 0);
    painter.setOpacity(base);
    x += kPillIcon + 6;

    const QString name = qt(std::string(rawValue(agent_)));
    const double nameWidth = Style::textWidth(pillNameFont(this), name, this);
    Style::drawLine(painter, QRectF(x, 0, nameWidth + 1, box.height()), name, pillNameFont(this),
                    Style::cream(installed_ ? 0.95 : 0.38));
    x += nameWidth + 6;

    const QString percent = percentText();
    if (!percent.isEmpty()) {
        Style::drawLine(painter, QRectF(x, 0, box.width() - x, box.height()), percent,
                        percentFont(this), Quota::tint(Quota::remaining(window_)));
    }
}

IconPill::IconPill(QWidget* parent) : PressablePart(parent) {}

void IconPill::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);
    Style::fillCapsule(painter, rect(), Style::cream(isHovering() ? 0.18 : 0.12));
    paintSymbol(painter, Symbol::reopen, rect(), Style::cream(isHovering() ? 1.0 : 0.75), 11,
                QFont::DemiBold);
}

namespace {

const QFont& saveFont(const QPaintDevice* d) {
    return Style::font(Face::system, 11, QFont::Medium, false, d);
}
QString saveLabel() {
    return QStringLiteral("Save memory");
}

}  // namespace

SecondaryPill::SecondaryPill(QWidget* parent) : PressablePart(parent) {}

void SecondaryPill::setEnabledLook(bool enabled) {
    enabledLook_ = enabled;
    update();
}

QSize SecondaryPill::sizeHint() const {
    const double width =
        11 + Style::textWidth(saveFont(this), saveLabel(), this) + 6 + symbolExtent(10) + 11;
    const double height = 5 + Style::lineHeight(saveFont(this), this) + 5;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void SecondaryPill::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);
    const double fill = !enabledLook_ ? 0.06 : isHovering() ? 0.18 : 0.12;
    Style::fillCapsule(painter, rect(), Style::cream(fill));
    const QColor ink = Style::cream(enabledLook_ ? 0.9 : 0.38);
    const double labelWidth = Style::textWidth(saveFont(this), saveLabel(), this);
    Style::drawLine(painter, QRectF(11, 0, labelWidth + 1, height()), saveLabel(), saveFont(this),
                    ink);
    const double glyph = symbolExtent(10);
    paintSymbol(painter, Symbol::saveToMemory,
                QRectF(11 + labelWidth + 6, (height() - glyph) / 2, glyph, glyph), ink, 10,
                QFont::DemiBold);
}

// ---- Hint ----

namespace {

const QFont& hintFont(const QPaintDevice* d) {
    return Style::font(Face::system, 10, QFont::Normal, false, d);
}
const QFont& linkFont(const QPaintDevice* d) {
    static QHash<int, QFont> underlined;
    const QFont& base = Style::font(Face::system, 10, QFont::DemiBold, false, d);
    const int dpi = d != nullptr ? d->logicalDpiY() : 96;
    auto found = underlined.find(dpi);
    if (found == underlined.end()) {
        QFont f = base;
        f.setUnderline(true);
        found = underlined.insert(dpi, f);
    }
    return *found;
}

}  // namespace

HintLine::HintLine(QWidget* parent) : IslandPart(parent) {
    setMouseTracking(true);
}

void HintLine::setHint(const Hint& hint) {
    hint_ = hint;
    updateGeometry();
    update();
}

QRectF HintLine::linkRect() const {
    if (!hint_.url) return {};
    const double textWidth = Style::textWidth(hintFont(this), qt(hint_.text), this);
    const double linkWidth = Style::textWidth(linkFont(this), qt(hint_.linkTitle), this);
    return {textWidth + 5, 0, linkWidth, static_cast<double>(height())};
}

QSize HintLine::sizeHint() const {
    double width = Style::textWidth(hintFont(this), qt(hint_.text), this);
    if (hint_.url) width += 5 + Style::textWidth(linkFont(this), qt(hint_.linkTitle), this);
    return {static_cast<int>(std::ceil(width)) + 1,
            static_cast<int>(std::ceil(Style::lineHeight(hintFont(this), this)))};
}

void HintLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);
    const double textWidth = Style::textWidth(hintFont(this), qt(hint_.text), this);
    Style::drawLine(painter, QRectF(0, 0, textWidth + 1, height()), qt(hint_.text), hintFont(this),
                    Style::cream(0.42));
    if (hint_.url) {
        Style::drawLine(painter, linkRect().adjusted(0, 0, 1, 0), qt(hint_.linkTitle),
                        linkFont(this), Style::teal(1));
    }
}

void HintLine::mouseMoveEvent(QMouseEvent* event) {
    const bool onLink = linkRect().contains(event->position());
    setCursor(onLink ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void HintLine::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && hint_.url && linkRect().contains(event->position()) &&
        openLink_) {
        openLink_(qt(*hint_.url));  // the hint stays
    }
}

// ---- Detail ----

SessionDetail::SessionDetail(QWidget* parent)
    : IslandPart(parent),
      claude_(new AgentStartPill(Agent::claude, this)),
      codex_(new AgentStartPill(Agent::codex, this)),
      save_(new SecondaryPill(this)),
      reopen_(new IconPill(this)),
      hint_(new HintLine(this)) {
    hint_->setOpacity(0);
    hint_->hide();
}

void SessionDetail::setSession(const SessionSummary& session, const RateWindows& windows,
                               const InstallState& installs) {
    session_ = session;
    windows_ = windows;
    claudeInstalled_ = installs.agents.count(Agent::claude) > 0;
    codexInstalled_ = installs.agents.count(Agent::codex) > 0;
    updatePills();
    save_->setEnabledLook(installs.wrenMem);
    reopen_->setToolTip(QStringLiteral("Open this session in ") +
                        qt(std::string(rawValue(session.agent))));
    layoutChildren();
    update();
}

void SessionDetail::setQuotas(const QuotaWindows& quotas, Instant now) {
    quotas_ = quotas;
    quotaColumns_.clear();
    const LocalCalendar calendar;
    for (const auto& [agent, windows] : quotas_) {
        if (windows.empty()) continue;
        QString head = qt(std::string(rawValue(agent)));
        // Cached figures can be days old; a transcript's are as fresh as the session.
        if (windows.front().source == QuotaSource::cache && windows.front().asOf) {
            head += QStringLiteral(" \u00b7 ") + qt(QuotaFormat::age(*windows.front().asOf, now));
        }
        std::vector<QString> column{head};
        for (const RateWindow& window : windows) {
            column.push_back(qt(QuotaFormat::line(window, now, calendar)));
        }
        quotaColumns_.push_back(std::move(column));
    }
    updatePills();
    update();
}

void SessionDetail::updatePills() {
    // The window that stops the agent first; the transcript's one window where none is listed.
    auto windowOf = [&](Agent agent) -> std::optional<RateWindow> {
        if (auto listed = quotas_.find(agent); listed != quotas_.end()) {
            if (auto binding = RateLimitStore::bindingWindow(listed->second)) return binding;
        }
        auto found = windows_.find(agent);
        if (found == windows_.end()) return std::nullopt;
        return found->second;
    };
    claude_->setState(windowOf(Agent::claude), claudeInstalled_);
    codex_->setState(windowOf(Agent::codex), codexInstalled_);
}

void SessionDetail::setHint(const std::optional<Hint>& hint, const anim::Motion& motion) {
    if (hint) {
        hint_->setHint(*hint);
        hint_->show();
    }
    anim::Animator::instance().animate(hintOpacity_, hint ? 1 : 0, motion);
    layoutChildren();
    requestFrames();
}

void SessionDetail::setActions(std::function<void()> open, std::function<void(Agent)> start,
                               std::function<void()> saveMemory,
                               std::function<void(const QString&)> link) {
    reopen_->setAction(std::move(open));
    claude_->setAction([start] { start(Agent::claude); });
    codex_->setAction([start] { start(Agent::codex); });
    save_->setAction(std::move(saveMemory));
    hint_->setOpenLink(std::move(link));
}

bool SessionDetail::advance(double now) {
    const double opacity = unitClamp(hintOpacity_.value(now));
    hint_->setOpacity(opacity);
    const bool moving = hintOpacity_.isMoving(now);
    if (!moving && hintOpacity_.target() == 0) hint_->hide();
    return IslandPart::advance(now) || moving;
}

QSize SessionDetail::sizeHint() const {
    return {399, static_cast<int>(kHeight)};
}

void SessionDetail::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

void SessionDetail::layoutChildren() {
    const QFont& startFont = Style::font(Face::system, 10.5, QFont::Normal, false, this);
    startLabelWidth_ = Style::textWidth(startFont, QStringLiteral("Start new in"), this);

    auto place = [](QWidget* w, double x, double rowTop, double rowHeight) {
        const QSize size = w->sizeHint();
        const double y = rowTop + (rowHeight - size.height()) / 2;
        w->setGeometry(static_cast<int>(std::round(x)), static_cast<int>(std::round(y)),
                       size.width(), size.height());
        return x + size.width();
    };
    double x = startLabelWidth_ + 8;
    x = place(claude_, x, kStartTop, kButtonRowHeight) + 8;
    place(codex_, x, kStartTop, kButtonRowHeight);

    x = place(save_, 0, kActionTop, kButtonRowHeight) + 9;
    x = place(reopen_, x, kActionTop, kButtonRowHeight) + 9;
    place(hint_, x, kActionTop, kButtonRowHeight);
}

LegendFit fitLegend(const std::vector<double>& labelWidths, const std::vector<double>& countWidths,
                    double width) {
    constexpr double kDot = 5;
    // Spacing steps, loosest first: dot to label, label to count, item to item.
    constexpr LegendFit kSteps[] = {{0, 5, 5, 11}, {0, 4, 4, 8}, {0, 3, 3, 6}};
    const std::size_t items = std::min(labelWidths.size(), countWidths.size());
    const auto widthOf = [&](std::size_t n, const LegendFit& step) {
        double total = 0;
        for (std::size_t i = 0; i < n; ++i) {
            total += kDot + step.labelGap + labelWidths[i] + step.countGap + countWidths[i];
            if (i > 0) total += step.itemGap;
        }
        return total;
    };
    for (LegendFit step : kSteps) {
        if (widthOf(items, step) <= width) {
            step.shown = items;
            return step;
        }
    }
    LegendFit tightest = kSteps[std::size(kSteps) - 1];
    while (tightest.shown < items && widthOf(tightest.shown + 1, tightest) <= width) {
        ++tightest.shown;
    }
    return tightest;
}

QString SessionDetail::contextText() const {
    const QString total = shortTokens(session_.totalTokens());
    if (session_.contextWindow) {
        return total + QStringLiteral(" / ") + shortTokens(*session_.contextWindow);
    }
    return total + QStringLiteral(" in context");
}

void SessionDetail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    beginPaint(painter);
    const double w = width();

    // Composition bar, or a note where there is nothing to break down.
    if (!session_.segments.empty()) {
        const std::vector<double> widths =
            compositionWidths(session_.segments, session_.totalTokens(), w, 2);
        double x = 0;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            if (widths[i] > 0) {
                Style::fillCapsule(painter, QRectF(x, 0, widths[i], kBarHeight),
                                   Style::toColor(session_.segments[i].color));
            }
            x += widths[i] + 2;
        }
    } else {
        const QFont& f = Style::font(Face::system, 10, QFont::Normal, false, this);
        const double h = Style::lineHeight(f, this);
        Style::drawLine(painter, QRectF(0, (kBarHeight - h) / 2, w, h),
                        QStringLiteral("No breakdown for this session yet"), f, Style::cream(0.3),
                        Qt::AlignHCenter | Qt::AlignVCenter);
    }

    // Legend, and the context fill at the trailing end.
    const QFont& contextFont = Style::font(Face::mono, 10.5, QFont::Normal, false, this);
    const QString context = contextText();
    const double contextWidth = Style::textWidth(contextFont, context, this);
    Style::drawLine(painter,
                    QRectF(w - contextWidth - 1, kLegendTop, contextWidth + 1, kLegendHeight),
                    context, contextFont, Style::cream(0.36), Qt::AlignRight | Qt::AlignVCenter);

    const QFont& labelFont = Style::font(Face::system, 10, QFont::Normal, false, this);
    const QFont& countFont = Style::font(Face::mono, 10, QFont::Normal, false, this);
    const double legendEnd = w - contextWidth - 8;
    std::vector<QString> labels, counts;
    std::vector<double> labelWidths, countWidths;
    for (const ContextSegment& segment : session_.segments) {
        labels.push_back(qt(segment.label));
        counts.push_back(shortTokens(segment.tokens));
        labelWidths.push_back(Style::textWidth(labelFont, labels.back(), this));
        countWidths.push_back(Style::textWidth(countFont, counts.back(), this));
    }
    const LegendFit fit = fitLegend(labelWidths, countWidths, legendEnd);
    painter.save();
    painter.setClipRect(QRectF(0, kLegendTop - 2, std::max(0.0, legendEnd), kLegendHeight + 4));
    double x = 0;
    for (std::size_t i = 0; i < fit.shown; ++i) {
        Style::fillDot(painter, {x + 2.5, kLegendTop + kLegendHeight / 2}, 5,
                       Style::toColor(session_.segments[i].color));
        x += 5 + fit.labelGap;
        Style::drawLine(painter, QRectF(x, kLegendTop, labelWidths[i] + 1, kLegendHeight),
                        labels[i], labelFont, Style::cream(0.55));
        x += labelWidths[i] + fit.countGap;
        Style::drawLine(painter, QRectF(x, kLegendTop, countWidths[i] + 1, kLegendHeight),
                        counts[i], countFont, Style::cream(0.33));
        x += countWidths[i] + fit.itemGap;
    }
    painter.restore();

    const QFont& startFont = Style::font(Face::system, 10.5, QFont::Normal, false, this);
    Style::drawLine(painter, QRectF(0, kStartTop, startLabelWidth_ + 1, kButtonRowHeight),
                    QStringLiteral("Start new in"), startFont, Style::cream(0.4));

    // Every known quota window: a column per agent, each line cut at its end if need be.
    const QFont& quotaFont = Style::font(Face::system, 9.5, QFont::Normal, false, this);
    const double columnWidth = std::floor(w / 2);
    for (std::size_t c = 0; c < quotaColumns_.size() && c < 2; ++c) {
        const std::vector<QString>& column = quotaColumns_[c];
        for (std::size_t i = 0; i < column.size() && i < kQuotaLines; ++i) {
            Style::drawLine(painter,
                            QRectF(static_cast<double>(c) * columnWidth,
                                   kQuotaTop + static_cast<double>(i) * kQuotaLineHeight,
                                   columnWidth - 8, kQuotaLineHeight),
                            column[i], quotaFont, Style::cream(i == 0 ? 0.55 : 0.4));
        }
    }
}

}  // namespace wren
