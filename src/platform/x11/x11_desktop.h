#pragma once

#include <QRegion>
#include <optional>

class QWindow;

namespace wren::x11 {

/// The X11 side of DesktopSession; see desktop_session.h for the contract. These take no X11
/// types, so the dispatching code needs no X11 header.

bool canConnect(const char* display);

/// Whether _NET_WM_CM_S<n> has an owner, n being the screen of $DISPLAY (the one Qt opened).
bool hasCompositor();

void setInputShape(QWindow* window, const std::optional<QRegion>& region);

void keepPixelsOnScreen(QWindow* window);

void declineCompositorShadow(QWindow* window);

}  // namespace wren::x11
