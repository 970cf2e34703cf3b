#pragma once

#include <QObject>
#include <memory>

class QWindow;

namespace wren {

/// What changes on the desktop around the island and matters to it: a compositor coming or
/// going, windows stacked above it, a full-screen window in front. Driven by the display
/// server's own events, so nothing runs while nothing changes. Off X11 nothing is seen: no
/// compositor is reported, nothing is ever above the island and nothing is full-screen.
class DesktopWatcher : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;
    ~DesktopWatcher() override = default;

    /// The watcher for the island's window `island` (which must exist natively): the X11 one on
    /// xcb, else one that never signals.
    static std::unique_ptr<DesktopWatcher> create(QWindow* island, QObject* parent = nullptr);

    /// A compositing manager runs on the island's screen: translucent pixels blend.
    virtual bool hasCompositor() const = 0;
    /// The active window is full-screen and covers the island's place.
    virtual bool isCoveredByFullScreen() const = 0;
    /// No window the window manager handles is stacked above the island. Asks the server.
    virtual bool isTopmost() const = 0;
    /// Looks again at the active window, after the island moved to another screen.
    virtual void recheckFullScreen() = 0;
    /// Puts the island above every other window at once.
    virtual void raiseIsland() = 0;

  signals:
    void compositorChanged(bool present);
    void fullScreenChanged(bool covered);
    /// Windows were mapped or restacked: something may now be above the island. A burst of
    /// changes (a window manager restarting) comes as one signal.
    void restacked();
};

}  // namespace wren
