#include "platform/pointer_monitor.h"

#include <QGuiApplication>

#include "platform/desktop_session.h"
#include "platform/polling_pointer_monitor.h"

#ifdef WREN_HAVE_XCB
#include "platform/x11/raw_motion_monitor.h"
#endif

namespace wren {
namespace {

// Where no global pointer can be seen: the island relies on enter and leave on itself.
class NoPointerMonitor final : public PointerMonitor {
  public:
    using PointerMonitor::PointerMonitor;
    Kind kind() const override { return Kind::none; }
    bool start() override { return true; }
};

}  // namespace

std::unique_ptr<PointerMonitor> PointerMonitor::create(QObject* parent) {
    // Under XWayland the X server only sees the pointer over X11 windows, so neither raw motion
    // nor polling would report anything useful elsewhere on the desktop.
    if (QGuiApplication::platformName() != QLatin1String("xcb") || DesktopSession::isXWayland()) {
        return std::make_unique<NoPointerMonitor>(parent);
    }
#ifdef WREN_HAVE_XCB
    if (RawMotionMonitor::isSupported()) return std::make_unique<RawMotionMonitor>(parent);
#endif
    return std::make_unique<PollingPointerMonitor>(parent);
}

}  // namespace wren
