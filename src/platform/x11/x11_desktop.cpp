#include "platform/x11/x11_desktop.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <QRectF>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/x11/qt_xcb.h"

namespace wren::x11 {
namespace {

// A window rectangle in device pixels, grown to whole pixels and clamped to the protocol's
// 16-bit fields.
xcb_rectangle_t toDevice(const QRect& rect, qreal ratio) {
    const QRect r =
        QRectF(rect.x() * ratio, rect.y() * ratio, rect.width() * ratio, rect.height() * ratio)
            .toAlignedRect();
    const auto coord = [](int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); };
    const auto size = [](int v) { return static_cast<uint16_t>(std::clamp(v, 0, 65535)); };
    return {coord(r.x()), coord(r.y()), size(r.width()), size(r.height())};
}

}  // namespace

bool canConnect(const char* display) {
    xcb_connection_t* c = xcb_connect(display, nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);  // also required for a connection that failed
    return ok;
}

bool hasCompositor() {
    xcb_connection_t* c = qtConnection();
    if (c == nullptr) return false;
    const std::string name = "_NET_WM_CM_S" + std::to_string(defaultScreen());
    // Only if it exists: if no compositor ever claimed the name, the atom does not exist either.
    const xcb_atom_t atom = intern(c, name, true);
    if (atom == XCB_ATOM_NONE) return false;
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void setInputShape(QWindow* window, const std::optional<QRegion>& region) {
    xcb_connection_t* c = qtConnection();
    if (c == nullptr || window == nullptr) return;
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
    if (shape == nullptr || !shape->present) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (!region) {
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_PIXMAP_NONE);
    } else {
        std::vector<xcb_rectangle_t> rects;
        for (const QRect& rect : *region)
            rects.push_back(toDevice(rect, window->devicePixelRatio()));
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                             id, 0, 0, static_cast<uint32_t>(rects.size()), rects.data());
    }
    xcb_flush(c);
}

void keepPixelsOnScreen(QWindow* window) {
    xcb_connection_t* c = qtConnection();
    if (c == nullptr || window == nullptr) return;
    const uint32_t gravity = XCB_GRAVITY_STATIC;
    xcb_change_window_attributes(c, static_cast<xcb_window_t>(window->winId()), XCB_CW_BIT_GRAVITY,
                                 &gravity);
    xcb_flush(c);
}

void declineCompositorShadow(QWindow* window) {
    xcb_connection_t* c = qtConnection();
    if (c == nullptr || window == nullptr) return;
    const xcb_atom_t atom = intern(c, "_COMPTON_SHADOW");
    if (atom == XCB_ATOM_NONE) return;
    const uint32_t none = 0;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()),
                        atom, XCB_ATOM_CARDINAL, 32, 1, &none);
    xcb_flush(c);
}

}  // namespace wren::x11
