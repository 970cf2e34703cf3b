#pragma once

#include <QRegion>
#include <optional>
#include <string>

class QWindow;

namespace wren::DesktopSession {

/// What start-up needs to know about the display before any toolkit object exists.

/// Running under a Wayland compositor that offers XWayland: the island runs through X11 there,
/// but the X server only sees the pointer over X11 windows. True when WAYLAND_DISPLAY is set and
/// Qt runs on xcb; before the application object exists, when WAYLAND_DISPLAY is set and
/// QT_QPA_PLATFORM is unset or xcb (start-up then chooses xcb).
bool isXWayland();

/// Whether an X server answers at `display` (null: $DISPLAY). Opens and closes one connection.
bool canConnectToX(const char* display = nullptr);

/// Whether a compositing manager runs on the island's X screen (the owner of _NET_WM_CM_S<n>).
/// Without one, translucent pixels show black, so the window must be shaped to its body.
/// False off X11.
bool hasCompositor();

/// Sets the window's X11 input region (where it takes clicks and pointer events) to `region`,
/// in window coordinates (device-independent pixels), or back to the whole window when absent;
/// an empty region lets every click through. Nothing off X11. Qt rewrites the same input shape
/// whenever Qt::WindowTransparentForInput changes, so use either that flag or this on a window.
void setInputRegion(QWindow* window, const std::optional<QRegion>& region);

/// When the window is moved and resized at once, its pixels stay where they are on the screen
/// until it repaints (X11's static bit gravity; by default they stay at its top left corner and
/// show out of place for a frame). Nothing off X11.
void keepPixelsOnScreen(QWindow* window);

/// Asks the compositor to draw no shadow of its own around the window, which draws its own
/// (the _COMPTON_SHADOW property that picom reads; its shadow follows the window's rectangle,
/// not what is drawn in it). Nothing off X11.
void declineCompositorShadow(QWindow* window);

}  // namespace wren::DesktopSession
