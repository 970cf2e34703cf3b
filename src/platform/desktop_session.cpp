#include "platform/desktop_session.h"

#include <QGuiApplication>
#include <cstdlib>
#include <string_view>

#ifdef WREN_HAVE_XCB
#include "platform/x11/x11_desktop.h"
#endif

namespace wren::DesktopSession {
namespace {

bool onXcb() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr &&
           QGuiApplication::platformName() == QLatin1String("xcb");
}

}  // namespace

bool isXWayland() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland == nullptr || *wayland == '\0') return false;
    // Before the toolkit starts, start-up sends the island through XWayland whenever Wayland is
    // there, unless the user chose another platform; afterwards, ask the one that runs.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        const char* chosen = std::getenv("QT_QPA_PLATFORM");
        return chosen == nullptr || *chosen == '\0' || std::string_view(chosen).starts_with("xcb");
    }
    return onXcb();
}

bool canConnectToX(const char* display) {
    if (display == nullptr) {
        const char* env = std::getenv("DISPLAY");
        if (env == nullptr || *env == '\0') return false;
    }
#ifdef WREN_HAVE_XCB
    return x11::canConnect(display);
#else
    return false;
#endif
}

bool hasCompositor() {
#ifdef WREN_HAVE_XCB
    if (onXcb()) return x11::hasCompositor();
#endif
    return false;
}

void setInputRegion(QWindow* window, const std::optional<QRegion>& region) {
#ifdef WREN_HAVE_XCB
    if (onXcb()) x11::setInputShape(window, region);
#else
    (void)window;
    (void)region;
#endif
}

void keepPixelsOnScreen(QWindow* window) {
#ifdef WREN_HAVE_XCB
    if (onXcb()) x11::keepPixelsOnScreen(window);
#else
    (void)window;
#endif
}

void declineCompositorShadow(QWindow* window) {
#ifdef WREN_HAVE_XCB
    if (onXcb()) x11::declineCompositorShadow(window);
#else
    (void)window;
#endif
}

}  // namespace wren::DesktopSession
