#include "platform/x11/x11_watcher.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/x11/qt_xcb.h"

namespace wren::x11 {
namespace {

// A window manager restarting maps and restacks dozens of windows at once; one look at the
// stack after the burst is enough.
constexpr int kRestackSettleMs = 100;

xcb_window_t rootOf(xcb_connection_t* c, int screen) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen && it.rem > 1; ++i) xcb_screen_next(&it);
    return it.data != nullptr ? it.data->root : xcb_window_t{XCB_WINDOW_NONE};
}

struct WindowRect {
    int x = 0, y = 0, width = 0, height = 0;
};

class X11Watcher final : public DesktopWatcher, private QAbstractNativeEventFilter {
  public:
    X11Watcher(xcb_connection_t* c, QWindow* island, uint8_t xfixesEvent, QObject* parent)
        : DesktopWatcher(parent), c_(c), island_(island), xfixesEvent_(xfixesEvent) {
        const int screen = defaultScreen();
        root_ = rootOf(c, screen);
        cmAtom_ = intern(c, "_NET_WM_CM_S" + std::to_string(screen));
        activeAtom_ = intern(c, "_NET_ACTIVE_WINDOW");
        stateAtom_ = intern(c, "_NET_WM_STATE");
        fullScreenAtom_ = intern(c, "_NET_WM_STATE_FULLSCREEN");
        stackingAtom_ = intern(c, "_NET_CLIENT_LIST_STACKING");
        wmStateAtom_ = intern(c, "WM_STATE");

        restack_.setSingleShot(true);
        restack_.setInterval(kRestackSettleMs);
        connect(&restack_, &QTimer::timeout, this, &DesktopWatcher::restacked);

        // Selected before the first look, so no change between the two is missed.
        xcb_xfixes_select_selection_input(
            c_, root_, cmAtom_,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        // Qt has its own events selected on the root window: add ours to them.
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, root_), nullptr));
        rootMask_ = attributes ? attributes->your_event_mask : uint32_t{XCB_EVENT_MASK_NO_EVENT};
        const uint32_t mask =
            rootMask_ | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
        QCoreApplication::instance()->installNativeEventFilter(this);

        compositor_ = readCompositor();
        updateActive();
    }

    ~X11Watcher() override {
        if (QCoreApplication::instance() == nullptr) return;
        QCoreApplication::instance()->removeNativeEventFilter(this);
        xcb_xfixes_select_selection_input(c_, root_, cmAtom_, 0);
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &rootMask_);
        watch(active_, false);
        xcb_flush(c_);
    }

    bool hasCompositor() const override { return compositor_; }
    bool isCoveredByFullScreen() const override { return fullScreen_; }
    void recheckFullScreen() override { updateFullScreen(); }

    void raiseIsland() override {
        if (island_) island_->raise();
        // Qt sends it with the next batch of its own requests, which may be long in coming
        // when nothing else happens: a raise from a timer must go now.
        xcb_flush(c_);
    }

    bool isTopmost() const override {
        const xcb_window_t island = islandId();
        if (island == XCB_WINDOW_NONE) return true;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr));
        if (!tree) return true;
        const std::span<const xcb_window_t> children(xcb_query_tree_children(tree.get()),
                                                     xcb_query_tree_children_length(tree.get()));
        const auto self = std::find(children.begin(), children.end(), island);
        if (self == children.end()) return true;
        // Bottom to top: only what lies above the island matters.
        std::vector<xcb_window_t> above;
        const std::vector<xcb_window_t> own = ownWindows();
        for (auto it = self + 1; it != children.end(); ++it) {
            if (std::find(own.begin(), own.end(), *it) == own.end()) above.push_back(*it);
        }
        std::vector<xcb_get_window_attributes_cookie_t> cookies;
        for (xcb_window_t window : above) cookies.push_back(xcb_get_window_attributes(c_, window));
        std::vector<xcb_window_t> unmanaged;
        bool topmost = true;
        for (std::size_t i = 0; i < cookies.size(); ++i) {
            Reply<xcb_get_window_attributes_reply_t> a(
                xcb_get_window_attributes_reply(c_, cookies[i], nullptr));
            if (!a || a->map_state != XCB_MAP_STATE_VIEWABLE ||
                a->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
                continue;
            }
            if (!a->override_redirect) {
                topmost = false;
            } else {
                unmanaged.push_back(above[i]);
            }
        }
        // Menus, tooltips and notifications bypass the window manager like the island and come
        // and go above it by design; but some window managers (i3) make their frames bypass it
        // too. A frame holds a client window, which carries WM_STATE.
        return topmost && std::none_of(unmanaged.begin(), unmanaged.end(),
                                       [this](xcb_window_t w) { return holdsClient(w); });
    }

  private:
    bool holdsClient(xcb_window_t window) const {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c_, xcb_query_tree(c_, window), nullptr));
        if (!tree) return false;
        const std::span<const xcb_window_t> children(xcb_query_tree_children(tree.get()),
                                                     xcb_query_tree_children_length(tree.get()));
        std::vector<xcb_get_property_cookie_t> cookies;
        for (xcb_window_t child : children) {
            cookies.push_back(xcb_get_property(c_, 0, child, wmStateAtom_, XCB_ATOM_ANY, 0, 0));
        }
        bool found = false;
        for (const auto& cookie : cookies) {
            Reply<xcb_get_property_reply_t> state(xcb_get_property_reply(c_, cookie, nullptr));
            found = found || (state && state->type != XCB_ATOM_NONE);
        }
        return found;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const uint8_t kind = event->response_type & 0x7f;
        if (kind == xfixesEvent_) {
            const auto* e = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
            if (e->selection != cmAtom_ || e->window != root_) return false;
            setCompositor(e->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER &&
                          e->owner != XCB_WINDOW_NONE);
            return true;
        }
        switch (kind) {
            case XCB_PROPERTY_NOTIFY: {
                const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                if (e->window == root_ && e->atom == activeAtom_) updateActive();
                if (e->window == root_ && e->atom == stackingAtom_) noteRestack();
                if (e->window == active_ && e->window != XCB_WINDOW_NONE && e->atom == stateAtom_) {
                    updateFullScreen();
                }
                break;
            }
            case XCB_CONFIGURE_NOTIFY: {
                const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
                // A full-screen window moved to another screen, or left full-screen size.
                if (e->event == active_ && e->event != XCB_WINDOW_NONE && activeIsFullScreen_) {
                    updateFullScreen();
                }
                // The root's own change of size is Qt's (it re-reads the screens then); the
                // children's come only from our SubstructureNotify.
                if (e->event != root_ || e->window == root_) break;
                if (!isOwn(e->window)) noteRestack();
                return true;
            }
            case XCB_MAP_NOTIFY: {
                const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(event);
                if (e->event != root_) break;
                if (!isOwn(e->window)) noteRestack();
                return true;
            }
            case XCB_CIRCULATE_NOTIFY: {
                const auto* e = reinterpret_cast<const xcb_circulate_notify_event_t*>(event);
                if (e->event != root_) break;
                noteRestack();
                return true;
            }
            case XCB_DESTROY_NOTIFY: {
                const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
                if (e->window == active_ && e->window != XCB_WINDOW_NONE) {
                    active_ = XCB_WINDOW_NONE;
                    updateFullScreen();
                }
                // Only our SubstructureNotify on the root brings these: Qt never asked for them.
                return e->event == root_;
            }
            case XCB_CREATE_NOTIFY:
            case XCB_UNMAP_NOTIFY:
            case XCB_REPARENT_NOTIFY:
            case XCB_GRAVITY_NOTIFY: {
                // The parent (CreateNotify) or event window: the same field in all four.
                const auto* e = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
                return e->event == root_;
            }
            default:
                break;
        }
        return false;  // Qt may want the same events for its own windows
    }

    // At most one look at the stack per settle interval, however long a burst lasts.
    void noteRestack() {
        if (!restack_.isActive()) restack_.start();
    }

    xcb_window_t islandId() const {
        if (!island_ || island_->handle() == nullptr) return XCB_WINDOW_NONE;
        return static_cast<xcb_window_t>(island_->winId());
    }

    // Our own windows (the island, its menu): never a reason to raise, never watched.
    static std::vector<xcb_window_t> ownWindows() {
        std::vector<xcb_window_t> own;
        for (QWindow* window : QGuiApplication::allWindows()) {
            if (window->handle() != nullptr)
                own.push_back(static_cast<xcb_window_t>(window->winId()));
        }
        return own;
    }
    static bool isOwn(xcb_window_t window) {
        const std::vector<xcb_window_t> own = ownWindows();
        return std::find(own.begin(), own.end(), window) != own.end();
    }

    bool readCompositor() const {
        Reply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, cmAtom_), nullptr));
        return owner && owner->owner != XCB_WINDOW_NONE;
    }

    void setCompositor(bool present) {
        if (present == compositor_) return;
        compositor_ = present;
        emit compositorChanged(present);
    }

    // Property and structure events of another client's window; that window may be gone by
    // now, and the error that would bring is of no interest.
    void watch(xcb_window_t window, bool on) {
        if (window == XCB_WINDOW_NONE || isOwn(window)) return;
        const uint32_t mask =
            on ? (XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY)
               : XCB_EVENT_MASK_NO_EVENT;
        xcb_discard_reply(
            c_,
            xcb_change_window_attributes_checked(c_, window, XCB_CW_EVENT_MASK, &mask).sequence);
    }

    void updateActive() {
        xcb_window_t now = XCB_WINDOW_NONE;
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, root_, activeAtom_, XCB_ATOM_WINDOW, 0, 1), nullptr));
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4) {
            now = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
        }
        if (now != active_) {
            watch(active_, false);
            active_ = now;
            watch(active_, true);  // before its state is read, so no change slips between
        }
        updateFullScreen();
    }

    std::optional<WindowRect> rootRect(xcb_window_t window) const {
        const auto geometry = xcb_get_geometry(c_, window);
        const auto place = xcb_translate_coordinates(c_, window, root_, 0, 0);
        Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c_, geometry, nullptr));
        Reply<xcb_translate_coordinates_reply_t> p(
            xcb_translate_coordinates_reply(c_, place, nullptr));
        if (!g || !p) return std::nullopt;
        return WindowRect{p->dst_x, p->dst_y, g->width, g->height};
    }

    void updateFullScreen() {
        bool covered = false;
        activeIsFullScreen_ = false;
        if (active_ != XCB_WINDOW_NONE) {
            Reply<xcb_get_property_reply_t> state(xcb_get_property_reply(
                c_, xcb_get_property(c_, 0, active_, stateAtom_, XCB_ATOM_ATOM, 0, 64), nullptr));
            if (state && state->format == 32) {
                const std::span<const xcb_atom_t> atoms(
                    static_cast<const xcb_atom_t*>(xcb_get_property_value(state.get())),
                    static_cast<std::size_t>(xcb_get_property_value_length(state.get())) / 4);
                activeIsFullScreen_ =
                    std::find(atoms.begin(), atoms.end(), fullScreenAtom_) != atoms.end();
            }
        }
        const xcb_window_t island = islandId();
        if (activeIsFullScreen_ && island != XCB_WINDOW_NONE) {
            // On the island's screen when it covers the middle of the island's window: the
            // server's own coordinates on both sides, so no scale factor enters.
            const auto window = rootRect(active_);
            const auto self = rootRect(island);
            if (window && self) {
                const int cx = self->x + self->width / 2;
                const int cy = self->y + self->height / 2;
                covered = cx >= window->x && cx < window->x + window->width && cy >= window->y &&
                          cy < window->y + window->height;
            }
        }
        if (covered == fullScreen_) return;
        fullScreen_ = covered;
        emit fullScreenChanged(covered);
    }

    xcb_connection_t* c_;
    QPointer<QWindow> island_;
    uint8_t xfixesEvent_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    uint32_t rootMask_ = 0;
    xcb_atom_t cmAtom_ = XCB_ATOM_NONE;
    xcb_atom_t activeAtom_ = XCB_ATOM_NONE;
    xcb_atom_t stateAtom_ = XCB_ATOM_NONE;
    xcb_atom_t fullScreenAtom_ = XCB_ATOM_NONE;
    xcb_atom_t stackingAtom_ = XCB_ATOM_NONE;
    xcb_atom_t wmStateAtom_ = XCB_ATOM_NONE;
    xcb_window_t active_ = XCB_WINDOW_NONE;
    bool compositor_ = false;
    bool fullScreen_ = false;
    bool activeIsFullScreen_ = false;
    QTimer restack_;
};

}  // namespace

std::unique_ptr<DesktopWatcher> createWatcher(QWindow* island, QObject* parent) {
    xcb_connection_t* c = qtConnection();
    if (c == nullptr) return nullptr;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (xfixes == nullptr || !xfixes->present) return nullptr;
    // The protocol wants the version asked once per client; Qt has done so, asking again is
    // harmless and makes this independent of Qt's internals.
    std::free(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    return std::make_unique<X11Watcher>(
        c, island, static_cast<uint8_t>(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY), parent);
}

}  // namespace wren::x11
