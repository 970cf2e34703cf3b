#pragma once

#include <QObject>
#include <memory>

namespace wren {

/// Tells the island that the pointer may have moved anywhere on the desktop, without costing
/// anything while it does not: no timer runs while the pointer is still. The island reads the
/// position itself (QCursor::pos()) when told.
class PointerMonitor : public QObject {
    Q_OBJECT

  public:
    /// How a backend learns about motion.
    enum class Kind {
        rawMotion,  // X11 XInput2 raw motion on the root window: every motion, nothing when idle
        polling,    // a slow poll, where the server offers nothing better
        none,       // no global pointer (XWayland, Wayland): hover comes from enter and leave
    };

    using QObject::QObject;
    ~PointerMonitor() override = default;

    /// The best monitor for this session: raw motion on X11 with XInput2, a 10 Hz poll on X11
    /// without it, none where the X server cannot see the pointer (XWayland) or off X11.
    static std::unique_ptr<PointerMonitor> create(QObject* parent = nullptr);

    virtual Kind kind() const = 0;
    /// Starts watching; false when the backend could not be set up (it then never signals).
    virtual bool start() = 0;

  signals:
    /// The pointer moved; a burst of motion is coalesced into one signal per 1/30 s at most.
    void moved();
};

}  // namespace wren
