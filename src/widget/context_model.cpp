#include "widget/context_model.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "widget/strict_decimal.h"

namespace wren {
namespace {

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

}  // namespace

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
    SessionList sessions = snapshot.sessions.empty() ? setup_.demo : std::move(snapshot.sessions);

    const LocalCalendar::Day today = setup_.calendar.dayContaining(now);
    std::int64_t tokens = 0;
    std::optional<Instant> earliest;
    for (const SessionSummary& s : sessions) {
        if (!today.contains(s.lastActivity)) continue;
        // Totals near the int64 limit stop at the limit instead of wrapping into nonsense.
        tokens = saturatingAdd(tokens, s.totalTokens());
        if (!earliest || s.lastActivity < *earliest) earliest = s.lastActivity;
    }

    sessions_ = std::move(sessions);
    tokensToday_ = tokens;
    // A session stamped later than our clock (skew) must not make the worked time negative.
    workedToday_ = earliest ? std::max(0.0, (now - *earliest).count()) : 0.0;
    windows_ = std::move(snapshot.windows);
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
    const Instant cutoff = now - Seconds(kActiveSeconds);
    return std::count_if(sessions_.begin(), sessions_.end(),
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
