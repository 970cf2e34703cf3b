#include "desktop/live_island.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "models/island_model.h"
#include "core/discovery/transcript_watch.h"

namespace wren {
namespace {

// A timer may fire a little before its time and the text would not have changed yet; firing
// this much after the change avoids a second wake-up.
constexpr double kClockMarginSeconds = 0.02;
constexpr double kLongestWaitSeconds = 86'400;

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int milliseconds(double seconds) {
    return static_cast<int>(std::ceil(std::clamp(seconds, 0.0, kLongestWaitSeconds) * 1000));
}

}  // namespace

LiveIsland::LiveIsland(IslandModel& model, std::vector<std::filesystem::path> roots,
                       QObject* parent)
    : QObject(parent),
      model_(model),
      watch_(std::make_unique<TranscriptWatch>(std::move(roots))),
      pacerTimer_(new QTimer(this)),
      clockTimer_(new QTimer(this)) {
    pacerTimer_->setSingleShot(true);
    // A coarse timer may fire early, before the pace allows a read, and cost a second wake-up.
    pacerTimer_->setTimerType(Qt::PreciseTimer);
    connect(pacerTimer_, &QTimer::timeout, this, &LiveIsland::onPacerDue);
    clockTimer_->setSingleShot(true);
    clockTimer_->setTimerType(Qt::PreciseTimer);
    connect(clockTimer_, &QTimer::timeout, this, &LiveIsland::onClock);

    if (watch_->fd() >= 0) {
        notifier_ = new QSocketNotifier(watch_->fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &LiveIsland::onWatchReadable);
    }

    WrenContextWidget& widget = model_.widget();
    connect(&widget, &WrenContextWidget::refreshFinished, this, [this] {
        if (!waitingForRead_) return;
        waitingForRead_ = false;
        onPacerDue();
    });
    connect(&widget, &WrenContextWidget::sessionsChanged, this, &LiveIsland::armClock);
    connect(&model_, &IslandModel::expandedChanged, this, &LiveIsland::armClock);
    armClock();
}

LiveIsland::~LiveIsland() = default;

void LiveIsland::onWatchReadable() {
    if (!watch_->drain()) return;
    const std::optional<double> delay = pacer_.changed(steadySeconds());
    if (!delay) return;
    schedule(*delay);
    // Until the paced read, more lines change nothing: the kernel merges their events, and the
    // read covers them. So an agent writing ten lines a second does not wake us ten times.
    if (*delay > 0) notifier_->setEnabled(false);
}

void LiveIsland::schedule(double delaySeconds) {
    pacerTimer_->start(milliseconds(delaySeconds));
}

void LiveIsland::onPacerDue() {
    if (notifier_ != nullptr && !notifier_->isEnabled()) {
        // What arrived meanwhile is read by this snapshot; new folders are watched first.
        watch_->drain();
        notifier_->setEnabled(true);
    }
    WrenContextWidget& widget = model_.widget();
    if (widget.isRefreshing()) {
        // A read started before this change may have missed it: read again once it is in.
        waitingForRead_ = true;
        return;
    }
    const double now = steadySeconds();
    if (!pacer_.due(now)) {
        if (pacer_.isPending()) {
            if (const std::optional<double> delay = pacer_.changed(now)) schedule(*delay);
        }
        return;
    }
    ++changeRefreshes_;
    widget.refresh();
}

void LiveIsland::armClock() {
    const WrenContextWidget& widget = model_.widget();
    const Instant now = widget.now();
    const Instant next = widget.nextClockChange(model_.isExpanded());
    clockTimer_->start(milliseconds((next - now).count() + kClockMarginSeconds));
}

void LiveIsland::onClock() {
    model_.widget().rollOver();
    emit clockTextsChanged();
    armClock();
}

}  // namespace wren
