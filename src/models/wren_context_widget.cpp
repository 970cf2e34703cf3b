#include "models/wren_context_widget.h"

#include <QMetaObject>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace wren {

// The worker thread and what it shares with the widget. The thread keeps this alive itself, so
// a widget destroyed during a read that never returns can leave the thread behind instead of
// waiting for it.
struct WrenContextWidget::Worker {
    std::mutex mutex;
    std::condition_variable wake;
    bool pending = false;
    bool stopping = false;
    WrenContextWidget* receiver = nullptr;  // cleared under `mutex` when the widget goes
    SnapshotReader reader;
    std::thread thread;

    static void run(std::shared_ptr<Worker> self) {
        std::unique_lock lock(self->mutex);
        while (true) {
            self->wake.wait(lock, [&] { return self->pending || self->stopping; });
            if (self->stopping) return;
            self->pending = false;
            lock.unlock();

            std::optional<MachineSnapshot> snapshot;
            try {
                snapshot = self->reader();
            } catch (...) {
                // An injected reader may throw; the refresh still has to end.
            }

            lock.lock();
            if (WrenContextWidget* widget = self->receiver) {
                // Posted while the widget is known to be alive; its destructor removes the
                // event if it goes before the GUI thread gets to it.
                QMetaObject::invokeMethod(
                    widget,
                    [widget, snapshot = std::move(snapshot)]() mutable {
                        widget->finishRefresh(std::move(snapshot));
                    },
                    Qt::QueuedConnection);
            }
        }
    }
};

WrenContextWidget::WrenContextWidget(QObject* parent) : WrenContextWidget(Options{}, parent) {}

WrenContextWidget::WrenContextWidget(Options options, QObject* parent)
    : QObject(parent),
      model_(options.setup ? ContextModel(std::move(*options.setup)) : ContextModel()),
      reader_(options.reader ? std::move(options.reader)
                             : SnapshotReader([] { return MachineSnapshot::read(); })),
      clock_(options.clock ? std::move(options.clock) : Clock(&systemNow)) {}

WrenContextWidget::~WrenContextWidget() {
    if (!worker_) return;
    {
        std::lock_guard lock(worker_->mutex);
        worker_->receiver = nullptr;
        worker_->stopping = true;
    }
    worker_->wake.notify_one();
    // Idle, the thread ends at once; mid-read it may never end, so it is left to finish alone.
    if (isRefreshing_) {
        worker_->thread.detach();
    } else {
        worker_->thread.join();
    }
}

void WrenContextWidget::refresh() {
    if (isRefreshing_) return;
    isRefreshing_ = true;
    if (!worker_) {
        worker_ = std::make_shared<Worker>();
        worker_->receiver = this;
        worker_->reader = reader_;
        worker_->thread = std::thread(&Worker::run, worker_);
    }
    {
        std::lock_guard lock(worker_->mutex);
        worker_->pending = true;
    }
    worker_->wake.notify_one();
}

void WrenContextWidget::refreshNow() {
    apply(reader_());
}

void WrenContextWidget::finishRefresh(std::optional<MachineSnapshot> snapshot) {
    isRefreshing_ = false;
    if (snapshot) apply(std::move(*snapshot));
    emit refreshFinished();
}

void WrenContextWidget::apply(MachineSnapshot snapshot) {
    const std::int64_t tokens = model_.tokensToday();
    const double worked = model_.workedToday();
    const std::optional<std::string> selected = model_.selectedID();
    const RateWindows windows = model_.windows();
    const QuotaWindows quotas = model_.quotas();
    const InstallState installs = model_.installs();

    model_.apply(std::move(snapshot), clock_());

    // Summaries have no equality, and the list is rebuilt on every read: always announce it.
    emit sessionsChanged();
    if (model_.tokensToday() != tokens) emit tokensTodayChanged();
    if (model_.workedToday() != worked) emit workedTodayChanged();
    if (model_.windows() != windows || model_.quotas() != quotas) emit windowsChanged();
    if (model_.installs() != installs) emit installsChanged();
    if (model_.selectedID() != selected) emit selectedIDChanged();
}

void WrenContextWidget::rollOver() {
    const std::int64_t tokens = model_.tokensToday();
    const double worked = model_.workedToday();
    model_.rollOver(clock_());
    if (model_.tokensToday() != tokens) emit tokensTodayChanged();
    if (model_.workedToday() != worked) emit workedTodayChanged();
}

void WrenContextWidget::toggleSelection(const std::string& id) {
    model_.toggleSelection(id);
    emit selectedIDChanged();
}

}  // namespace wren
