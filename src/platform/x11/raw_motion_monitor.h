#pragma once

#include <QAbstractNativeEventFilter>
#include <QTimer>
#include <cstdint>

#include "platform/pointer_monitor.h"

namespace wren {

/// Listens for XInput2 raw motion on every root window, through a native event filter on Qt's
/// own xcb connection. Raw events carry no position and may come at the mouse's full rate, so a
/// burst only arms a 33 ms single-shot timer and its timeout emits moved(): one signal per
/// slice of motion, and neither events nor timers while the pointer rests.
class RawMotionMonitor final : public PointerMonitor, private QAbstractNativeEventFilter {
  public:
    explicit RawMotionMonitor(QObject* parent = nullptr);
    ~RawMotionMonitor() override;

    /// Whether Qt runs on xcb and the server speaks XInput 2 and can deliver its events.
    static bool isSupported();

    Kind kind() const override { return Kind::rawMotion; }
    bool start() override;

  private:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;
    bool selectRawMotion(bool on);

    QTimer coalesce_;
    uint8_t xiOpcode_ = 0;
    bool started_ = false;
};

}  // namespace wren
