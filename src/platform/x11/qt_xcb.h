#pragma once

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace wren::x11 {

/// Qt's own connection to the X server, or null when the application does not run on xcb.
/// Requests made on it are ordered with Qt's, and its events reach our native event filters.
inline xcb_connection_t* qtConnection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
/// A reply from xcb, which the caller frees.
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

/// The screen number in $DISPLAY, which is what Qt connects to unless told otherwise.
inline int defaultScreen() {
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) return 0;
    std::free(host);
    return screen;
}

/// The atom for `name`; with `onlyIfExists`, none unless some client made it already.
inline xcb_atom_t intern(xcb_connection_t* c, std::string_view name, bool onlyIfExists = false) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c,
                              xcb_intern_atom(c, onlyIfExists ? 1 : 0,
                                              static_cast<std::uint16_t>(name.size()), name.data()),
                              nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace wren::x11
