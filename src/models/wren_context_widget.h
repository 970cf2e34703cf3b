#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/discovery/machine_snapshot.h"
#include "core/transcripts/instant.h"
#include "core/sessions/context_model.h"
#include "core/sessions/finish_notice.h"

namespace wren {

/// The one observable model behind everything the island shows about sessions: the recent
/// sessions, today's tokens and worked time, rate-limit windows, install state and selection.
///
/// Lives on the GUI thread, and every property is read and written there. refresh() reads a
/// machine snapshot on one private worker thread, at most one read at a time (a refresh asked for
/// during a read is dropped), and hands it back to the GUI thread by value, where it is applied.
/// A read that never returns only stops further refreshes; it never blocks the GUI thread.
/// The views animate the changes they are notified of (ease-out 0.16 s for an applied snapshot,
/// spring 0.32 s / 0.82 for the selection).
class WrenContextWidget final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString id READ id CONSTANT)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(wren::SessionList sessions READ sessions NOTIFY sessionsChanged)
    Q_PROPERTY(qint64 tokensToday READ tokensToday NOTIFY tokensTodayChanged)
    Q_PROPERTY(double workedToday READ workedToday NOTIFY workedTodayChanged)
    Q_PROPERTY(std::optional<std::string> selectedID READ selectedID NOTIFY selectedIDChanged)
    Q_PROPERTY(wren::RateWindows windows READ windows NOTIFY windowsChanged)
    Q_PROPERTY(wren::InstallState installs READ installs NOTIFY installsChanged)
    Q_PROPERTY(std::optional<wren::SessionSummary> active READ active NOTIFY sessionsChanged)
    Q_PROPERTY(qint64 activeCount READ activeCount NOTIFY sessionsChanged)

  public:
    using SnapshotReader = std::function<MachineSnapshot()>;
    using Clock = std::function<Instant()>;

    /// What the widget reads and how it tells the time; the defaults are the real machine.
    struct Options {
        SnapshotReader reader;                     // empty: MachineSnapshot::read
        Clock clock;                               // empty: the wall clock
        std::optional<ContextModel::Setup> setup;  // empty: the process's calendar and settings
    };

    explicit WrenContextWidget(QObject* parent = nullptr);
    explicit WrenContextWidget(Options options, QObject* parent = nullptr);
    ~WrenContextWidget() override;

    static constexpr const char* kId = "com.wren.context";
    static constexpr const char* kTitle = "WrenMem";

    QString id() const { return QString::fromUtf8(kId); }
    QString title() const { return QString::fromUtf8(kTitle); }
    const SessionList& sessions() const { return model_.sessions(); }
    qint64 tokensToday() const { return model_.tokensToday(); }
    double workedToday() const { return model_.workedToday(); }
    const std::optional<std::string>& selectedID() const { return model_.selectedID(); }
    const RateWindows& windows() const { return model_.windows(); }
    const InstallState& installs() const { return model_.installs(); }
    std::optional<SessionSummary> active() const { return model_.active(); }
    qint64 activeCount() const { return model_.activeCount(clock_()); }
    /// The rows are the demo sessions, shown as samples because no real session was found.
    bool showsSamples() const { return model_.showsSamples(); }
    /// The wall clock the widget counts with.
    Instant now() const { return clock_(); }
    /// When a text shown from this widget next changes by the clock alone (ContextModel).
    Instant nextClockChange(bool expanded) const {
        return model_.nextClockChange(expanded, clock_());
    }
    /// Recounts today's totals now, without reading anything (a new day has begun).
    void rollOver();
    /// Active sessions whose turn has finished: they wait for the user.
    qint64 waitingCount() const { return wren::waitingCount(model_.sessions(), clock_()); }
    /// Every current quota window of each agent (the windows above are one per agent).
    const QuotaWindows& quotas() const { return model_.quotas(); }
    /// Whether a session is working, finished or idle, by the widget's clock.
    Activity activity(const SessionSummary& session) const {
        return activityOf(session.turn, session.lastActivity, clock_());
    }

    /// Starts a background snapshot read unless one is in flight; returns at once.
    void refresh();
    /// Reads a snapshot on the calling thread and applies it at once (start-up only).
    void refreshNow();
    /// Applies a snapshot read elsewhere at once, as refreshNow() does (start-up reads it while
    /// the toolkit starts).
    void refreshNow(MachineSnapshot snapshot) { apply(std::move(snapshot)); }
    /// Selects `id`, or clears the selection when `id` is already selected.
    void toggleSelection(const std::string& id);
    /// Height of the expanded island below a notch of `notch` points.
    double expandedHeight(double notch) const { return model_.expandedHeight(notch); }

    /// True from refresh() until its snapshot has been handed back.
    bool isRefreshing() const { return isRefreshing_; }

  signals:
    void sessionsChanged();
    void tokensTodayChanged();
    void workedTodayChanged();
    void selectedIDChanged();
    void windowsChanged();
    void installsChanged();
    /// A background read has been handed back (applied, or dropped because it failed).
    void refreshFinished();

  private:
    struct Worker;

    void apply(MachineSnapshot snapshot);
    void finishRefresh(std::optional<MachineSnapshot> snapshot);

    ContextModel model_;
    SnapshotReader reader_;
    Clock clock_;
    bool isRefreshing_ = false;
    std::shared_ptr<Worker> worker_;  // started on the first refresh()
};

}  // namespace wren
