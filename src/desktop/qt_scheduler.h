#pragma once

#include <QObject>
#include <QPointer>
#include <map>

#include "core/island/island_controller.h"

class QTimer;

namespace wren {

/// The pointer state machine's delayed tasks as single-shot timers on the GUI thread. Tasks
/// still pending when the scheduler goes are dropped with it.
class QtScheduler final : public QObject, public Scheduler {
  public:
    explicit QtScheduler(QObject* parent = nullptr) : QObject(parent) {}

    TaskId schedule(double delaySeconds, std::function<void()> task) override;
    void cancel(TaskId task) override;

  private:
    std::map<TaskId, QPointer<QTimer>> tasks_;
    TaskId nextTask_ = 1;
};

}  // namespace wren
