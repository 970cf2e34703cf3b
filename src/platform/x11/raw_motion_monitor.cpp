#include "platform/x11/raw_motion_monitor.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QCoreApplication>
#include <cstdlib>
#include <string_view>

#include "platform/x11/qt_xcb.h"

namespace wren {
namespace {

constexpr int kSliceMs = 33;  // about one frame at 30 Hz, the island's own poll rate

}  // namespace

RawMotionMonitor::RawMotionMonitor(QObject* parent) : PointerMonitor(parent) {
    coalesce_.setSingleShot(true);
    coalesce_.setInterval(kSliceMs);
    connect(&coalesce_, &QTimer::timeout, this, &PointerMonitor::moved);
}

RawMotionMonitor::~RawMotionMonitor() {
    if (!started_) return;
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        selectRawMotion(false);
    }
}

bool RawMotionMonitor::isSupported() {
    xcb_connection_t* c = x11::qtConnection();
    if (c == nullptr) return false;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_input_id);
    if (ext == nullptr || !ext->present) return false;
    // XI2 events travel as generic events: without that extension the server takes the
    // selection but never delivers anything.
    constexpr std::string_view kGenericEvents = "Generic Event Extension";
    auto* ge = xcb_query_extension_reply(
        c,
        xcb_query_extension(c, static_cast<uint16_t>(kGenericEvents.size()), kGenericEvents.data()),
        nullptr);
    const bool haveGenericEvents = ge != nullptr && ge->present;
    std::free(ge);
    if (!haveGenericEvents) return false;
    // Qt has already asked for 2.2 or later on this connection; the server accepts any further
    // request from 2.2 on and answers with the version it speaks.
    auto* reply = xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr);
    const bool xi2 = reply != nullptr && reply->major_version >= 2;
    std::free(reply);
    return xi2;
}

bool RawMotionMonitor::start() {
    if (started_) return true;
    xcb_connection_t* c = x11::qtConnection();
    if (c == nullptr || !isSupported()) return false;
    xiOpcode_ = xcb_get_extension_data(c, &xcb_input_id)->major_opcode;
    if (!selectRawMotion(true)) return false;
    QCoreApplication::instance()->installNativeEventFilter(this);
    started_ = true;
    return true;
}

bool RawMotionMonitor::selectRawMotion(bool on) {
    xcb_connection_t* c = x11::qtConnection();
    if (c == nullptr) return false;
    struct {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? uint32_t{XCB_INPUT_XI_EVENT_MASK_RAW_MOTION} : 0};
    // Every root: with several X screens the pointer may be on any of them.
    bool ok = true;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem > 0; xcb_screen_next(&it)) {
        xcb_generic_error_t* error = xcb_request_check(
            c, xcb_input_xi_select_events_checked(c, it.data->root, 1, &mask.head));
        if (error != nullptr) {
            ok = false;
            std::free(error);
        }
    }
    return ok;
}

bool RawMotionMonitor::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC) return false;
    auto* generic = reinterpret_cast<xcb_ge_generic_event_t*>(event);
    if (generic->extension != xiOpcode_ || generic->event_type != XCB_INPUT_RAW_MOTION) {
        return false;
    }
    if (!coalesce_.isActive()) coalesce_.start();
    return true;  // Qt has no use for raw events
}

}  // namespace wren
