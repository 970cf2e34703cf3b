#pragma once

#include <memory>

#include "platform/desktop_watcher.h"

class QObject;
class QWindow;

namespace wren::x11 {

/// The X11 DesktopWatcher, on Qt's own connection: the owner of _NET_WM_CM_S<n> through XFixes,
/// stacking through SubstructureNotify on the root window, and the active window's
/// _NET_WM_STATE through PropertyNotify. Null when Qt does not run on xcb or XFixes is missing.
std::unique_ptr<DesktopWatcher> createWatcher(QWindow* island, QObject* parent);

}  // namespace wren::x11
