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

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// The screen number in $DISPLAY, which is what Qt connects to unless told otherwise.
int defaultScreen() {
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) return 0;
    std::free(host);
    return screen;
}

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
    // only_if_exists: if no compositor ever claimed the name, the atom does not exist either.
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<uint16_t>(name.size()), name.data()), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr));
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
    static constexpr std::string_view kName = "_COMPTON_SHADOW";
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(kName.size()), kName.data()), nullptr));
    if (!atom) return;
    const uint32_t none = 0;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()),
                        atom->atom, XCB_ATOM_CARDINAL, 32, 1, &none);
    xcb_flush(c);
}

}  // namespace wren::x11
