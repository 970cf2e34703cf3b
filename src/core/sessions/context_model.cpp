#include "core/sessions/context_model.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "core/transcripts/saturating.h"
#include "core/sessions/relative_time.h"
#include "core/sessions/strict_decimal.h"

namespace wren {
namespace {}  // namespace

SessionList inSessionOrder(SessionList sessions) {
    std::stable_sort(sessions.begin(), sessions.end(), newestFirst);
    return sessions;
}

ContextModel::ContextModel()
    : ContextModel(
          Setup{LocalCalendar(), pinnedSelectionFromEnvironment(), SessionSummary::demo()}) {}

ContextModel::ContextModel(Setup setup) : setup_(std::move(setup)) {
    setup_.demo = inSessionOrder(std::move(setup_.demo));
    sessions_ = setup_.demo;
}

void ContextModel::apply(MachineSnapshot snapshot, Instant now) {
    showsSamples_ = snapshot.sessions.empty();
    SessionList sessions = showsSamples_ ? setup_.demo : std::move(snapshot.sessions);

    // Samples are there to show what a row looks like; their numbers must not pass for usage.
    const TodayTotals today =
        showsSamples_ ? TodayTotals{} : todayTotals(sessions, now, setup_.calendar);
    sessions_ = std::move(sessions);
    tokensToday_ = today.tokens;
    workedToday_ = today.workedSeconds;
    windows_ = std::move(snapshot.windows);
    quotas_ = std::move(snapshot.quotas);
    installs_ = std::move(snapshot.installs);

    const auto& pinned = setup_.pinnedSelection;
    if (!appliedPinnedSelection_ && pinned && *pinned >= 0 &&
        static_cast<std::uint64_t>(*pinned) < sessions_.size()) {
        appliedPinnedSelection_ = true;
        selectedID_ = sessions_[static_cast<std::size_t>(*pinned)].id;
    }
}

void ContextModel::toggleSelection(std::string_view id) {
    if (selectedID_ == id) {
        selectedID_.reset();
    } else {
        selectedID_ = std::string(id);
    }
}

double ContextModel::expandedHeight(double notch) const {
    double height = notch + kListPadding;
    height += static_cast<double>(sessions_.size()) * kRowHeight;
    height += selectedID_ ? kDetailHeight : 0;
    return height;
}

std::optional<SessionSummary> ContextModel::active() const {
    if (sessions_.empty()) return std::nullopt;
    return sessions_.front();
}

std::int64_t ContextModel::activeCount(Instant now) const {
    return showsSamples_ ? 0 : wren::activeCount(sessions_, now);
}

void ContextModel::rollOver(Instant now) {
    if (showsSamples_) return;
    const TodayTotals today = todayTotals(sessions_, now, setup_.calendar);
    tokensToday_ = today.tokens;
    workedToday_ = today.workedSeconds;
}

Instant ContextModel::nextClockChange(bool expanded, Instant now) const {
    Instant next = nextTotalsChange(sessions_, now, setup_.calendar);
    const auto earliest = [&](std::optional<Instant> change) {
        if (change && *change > now && *change < next) next = *change;
    };
    if (expanded) {
        for (const SessionSummary& s : sessions_) {
            earliest(RelativeTime::compactNextChange(s.lastActivity, now));
        }
    } else if (!sessions_.empty()) {
        earliest(RelativeTime::longFormNextChange(sessions_.front().lastActivity, now));
    }
    return next;
}

Instant nextTotalsChange(const SessionList& sessions, Instant now, const LocalCalendar& calendar) {
    Instant next = calendar.dayContaining(now).end;
    if (!(next > now)) next = now + Seconds(86'400);  // a clock beyond the calendar's reach
    for (const SessionSummary& s : sessions) {
        // Counted up to and including two hours; gone from the count just after.
        const Instant leaves = s.lastActivity + Seconds(ContextModel::kActiveSeconds);
        if (leaves >= now && leaves < next) next = leaves;
    }
    return next;
}

TodayTotals todayTotals(const SessionList& sessions, Instant now, const LocalCalendar& calendar) {
    const LocalCalendar::Day today = calendar.dayContaining(now);
    std::int64_t tokens = 0;
    std::optional<Instant> earliest;
    for (const SessionSummary& s : sessions) {
        if (!today.contains(s.lastActivity)) continue;
        // Totals near the int64 limit stop at the limit instead of wrapping into nonsense.
        tokens = saturatingAdd(tokens, s.totalTokens());
        if (!earliest || s.lastActivity < *earliest) earliest = s.lastActivity;
    }
    // A session stamped later than our clock (skew) must not make the worked time negative.
    const double worked = earliest ? std::max(0.0, (now - *earliest).count()) : 0.0;
    return TodayTotals{tokens, worked};
}

std::int64_t activeCount(const SessionList& sessions, Instant now) {
    const Instant cutoff = now - Seconds(ContextModel::kActiveSeconds);
    return std::count_if(sessions.begin(), sessions.end(),
                         [&](const SessionSummary& s) { return s.lastActivity >= cutoff; });
}

std::optional<std::int64_t> ContextModel::pinnedSelectionFromEnvironment() {
    static const std::optional<std::int64_t> pinned = []() -> std::optional<std::int64_t> {
        const char* value = std::getenv("WRENISLAND_SELECT");
        if (value == nullptr) return std::nullopt;
        return parseStrictDecimal(value);
    }();
    return pinned;
}

}  // namespace wren
