#pragma once

#include <QPoint>
#include <QTimer>

#include "platform/pointer_monitor.h"

namespace wren {

/// Reads QCursor::pos() ten times a second and signals only when it changed. For X servers
/// without XInput 2, where nothing cheaper tells us about motion.
class PollingPointerMonitor final : public PointerMonitor {
  public:
    explicit PollingPointerMonitor(QObject* parent = nullptr);

    Kind kind() const override { return Kind::polling; }
    bool start() override;

  private:
    void poll();

    QTimer timer_;
    QPoint last_;
};

}  // namespace wren
