#include "platform/desktop_watcher.h"

#include <QPointer>
#include <QWindow>

#ifdef WREN_HAVE_XCB
#include "platform/x11/x11_watcher.h"
#endif

namespace wren {
namespace {

// Nothing to follow: Wayland compositors always blend, and their stacking is their own.
class QuietWatcher final : public DesktopWatcher {
  public:
    QuietWatcher(QWindow* island, QObject* parent) : DesktopWatcher(parent), island_(island) {}
    bool hasCompositor() const override { return false; }
    bool isCoveredByFullScreen() const override { return false; }
    bool isTopmost() const override { return true; }
    void recheckFullScreen() override {}
    void raiseIsland() override {
        if (island_) island_->raise();
    }

  private:
    QPointer<QWindow> island_;
};

}  // namespace

std::unique_ptr<DesktopWatcher> DesktopWatcher::create(QWindow* island, QObject* parent) {
#ifdef WREN_HAVE_XCB
    if (auto watcher = x11::createWatcher(island, parent)) return watcher;
#else
#endif
    return std::make_unique<QuietWatcher>(island, parent);
}

}  // namespace wren
