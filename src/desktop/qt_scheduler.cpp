#include "desktop/qt_scheduler.h"

#include <QTimer>

namespace wren {

Scheduler::TaskId QtScheduler::schedule(double delaySeconds, std::function<void()> task) {
    const TaskId id = nextTask_++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id, timer, task = std::move(task)] {
        tasks_.erase(id);
        timer->deleteLater();
        task();
    });
    tasks_[id] = timer;
    timer->start(static_cast<int>(delaySeconds * 1000 + 0.5));
    return id;
}

void QtScheduler::cancel(TaskId task) {
    auto found = tasks_.find(task);
    if (found == tasks_.end()) return;
    if (QTimer* timer = found->second) {
        timer->stop();
        timer->deleteLater();
    }
    tasks_.erase(found);
}

}  // namespace wren
