#include "platform/polling_pointer_monitor.h"

#include <QCursor>

namespace wren {

PollingPointerMonitor::PollingPointerMonitor(QObject* parent) : PointerMonitor(parent) {
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &PollingPointerMonitor::poll);
}

bool PollingPointerMonitor::start() {
    if (!timer_.isActive()) {
        last_ = QCursor::pos();
        timer_.start();
    }
    return true;
}

void PollingPointerMonitor::poll() {
    const QPoint now = QCursor::pos();
    if (now == last_) return;
    last_ = now;
    emit moved();
}

}  // namespace wren
