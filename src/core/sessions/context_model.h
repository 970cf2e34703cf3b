#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/install_state.h"
#include "core/discovery/machine_snapshot.h"
#include "core/discovery/rate_limits.h"
#include "core/transcripts/instant.h"
#include "core/transcripts/session_summary.h"
#include "core/sessions/local_calendar.h"

namespace wren {

using SessionList = std::vector<SessionSummary>;
using RateWindows = std::map<Agent, RateWindow>;
using QuotaWindows = std::map<Agent, std::vector<RateWindow>>;

/// The state behind the context widget and the rules that change it, without Qt: applying a
/// machine snapshot (demo fallback, today's totals, the one-shot start-up selection), toggling
/// the selection, and the expanded island's height. The clock comes in as an argument; the
/// calendar, the start-up selection and the demo list come in at construction.
class ContextModel {
  public:
    static constexpr double kRowHeight = 25;
    static constexpr double kDetailHeight = 141;
    static constexpr double kListPadding = 22;
    /// A session this recent (inclusive) counts as active.
    static constexpr double kActiveSeconds = 7200;

    struct Setup {
        LocalCalendar calendar;                       // decides what "today" is
        std::optional<std::int64_t> pinnedSelection;  // index to select once at start-up
        SessionList demo;                             // shown while no real session is known
    };

    /// The process's calendar, WRENISLAND_SELECT and SessionSummary::demo().
    ContextModel();
    explicit ContextModel(Setup setup);

    /// Publishes a snapshot as seen at `now`: its sessions unchanged (or the demo list, in session
    /// order, when it has none), today's tokens and worked time, windows and installs; then the
    /// start-up selection if it is pending and now in range. Leaves any other selection alone.
    /// The demo list is shown as samples: it adds nothing to today's totals or the active count.
    void apply(MachineSnapshot snapshot, Instant now);

    /// True while the rows are the demo sessions, because no real session was found.
    bool showsSamples() const { return showsSamples_; }

    /// Recounts today's totals at `now` from the sessions already held (at local midnight
    /// "today" starts again without anything new being read).
    void rollOver(Instant now);

    /// The first instant after `now` at which a text the island shows changes by the clock
    /// alone: a relative time (the newest session's long form while collapsed, every row's
    /// compact form while open), the active count, or today's totals at local midnight.
    Instant nextClockChange(bool expanded, Instant now) const;

    /// Clears the selection when it is `id`, else selects `id`.
    void toggleSelection(std::string_view id);

    /// notch + padding, + one row per session, + the detail block while anything is selected.
    double expandedHeight(double notch) const;

    /// The newest session, absent when there is none.
    std::optional<SessionSummary> active() const;
    /// Sessions whose last activity is at most two hours before `now`.
    std::int64_t activeCount(Instant now) const;

    const SessionList& sessions() const { return sessions_; }
    std::int64_t tokensToday() const { return tokensToday_; }
    double workedToday() const { return workedToday_; }
    const std::optional<std::string>& selectedID() const { return selectedID_; }
    const RateWindows& windows() const { return windows_; }
    const QuotaWindows& quotas() const { return quotas_; }
    const InstallState& installs() const { return installs_; }

    /// WRENISLAND_SELECT as a strict decimal, read once per process; absent when unset or bad.
    static std::optional<std::int64_t> pinnedSelectionFromEnvironment();

  private:
    Setup setup_;
    SessionList sessions_;
    std::int64_t tokensToday_ = 0;
    double workedToday_ = 0;
    std::optional<std::string> selectedID_;
    bool appliedPinnedSelection_ = false;
    bool showsSamples_ = true;
    RateWindows windows_;
    QuotaWindows quotas_;
    InstallState installs_;
};

/// Sorts newest activity first, equal instants by ascending id, keeping the order of equals.
SessionList inSessionOrder(SessionList sessions);

/// Today's totals over a session list, by the widget's rules.
struct TodayTotals {
    std::int64_t tokens = 0;   // totalTokens of the sessions active today (saturating)
    double workedSeconds = 0;  // from the earliest activity today until now; 0 without one
};
/// "Today" is the calendar day of `calendar` that holds `now`.
TodayTotals todayTotals(const SessionList& sessions, Instant now, const LocalCalendar& calendar);
/// Sessions whose last activity is at most two hours before `now`.
std::int64_t activeCount(const SessionList& sessions, Instant now);
/// The first instant after `now` at which today's totals or the active count of `sessions`
/// change by the clock alone: a session leaving the two-hour window, or the next local midnight.
Instant nextTotalsChange(const SessionList& sessions, Instant now, const LocalCalendar& calendar);

}  // namespace wren
