#pragma once

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QGuiApplication>

namespace wren::x11 {

/// Qt's own connection to the X server, or null when the application does not run on xcb.
/// Requests made on it are ordered with Qt's, and its events reach our native event filters.
inline xcb_connection_t* qtConnection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

}  // namespace wren::x11
