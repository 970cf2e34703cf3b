#pragma once

#include <QObject>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/discovery/refresh_pacer.h"

class QSocketNotifier;
class QTimer;

namespace wren {

class IslandModel;
class TranscriptWatch;

/// Keeps the island current without a tick. A snapshot is read when a transcript changes
/// (paced: at most one every two seconds, none while nothing changes), and one single-shot
/// timer wakes the island when a shown text would change by the clock alone: a relative time,
/// the active count, today's totals at local midnight. The pointer-driven refresh stays as it
/// is. GUI thread only.
class LiveIsland final : public QObject {
    Q_OBJECT

  public:
    /// Watches `roots` (the agents' transcript folders) for `model`'s widget.
    LiveIsland(IslandModel& model, std::vector<std::filesystem::path> roots,
               QObject* parent = nullptr);
    ~LiveIsland() override;

    /// How many snapshots transcript changes have asked for so far.
    int changeRefreshes() const { return changeRefreshes_; }

  signals:
    /// A text drawn from the clock has changed: the views should repaint.
    void clockTextsChanged();

  private:
    void onWatchReadable();
    void schedule(double delaySeconds);
    void onPacerDue();
    void armClock();
    void onClock();

    IslandModel& model_;
    std::unique_ptr<TranscriptWatch> watch_;
    QSocketNotifier* notifier_ = nullptr;
    RefreshPacer pacer_;
    QTimer* pacerTimer_;
    QTimer* clockTimer_;
    bool waitingForRead_ = false;
    int changeRefreshes_ = 0;
};

}  // namespace wren
