#pragma once

#include <QObject>
#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include "core/island/island_controller.h"
#include "core/island/raise_limiter.h"
#include "core/discovery/machine_snapshot.h"

class QScreen;
class QTimer;

namespace wren {

class DesktopWatcher;
class FinishNotifications;
class IslandMenu;
class IslandModel;
class IslandPanel;
class LiveIsland;
class PointerMonitor;
class QtScheduler;
class QuitSignals;

/// The running island: loads the first data and the remembered menu choices, hangs the panel
/// from the top centre of the screen under the pointer (below its top panel unless "Over the top
/// panel" is chosen), follows the pointer, offers the menu with Quit in the tray (or on a right
/// click where there is no tray), and follows screens and their panels as they come and go.
/// GUI thread only.
class IslandApp final : public QObject, private IslandPort {
    Q_OBJECT

  public:
    /// `processStart`: when the process began, for the start-up report (WRENISLAND_PROFILE=1).
    explicit IslandApp(
        std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now(),
        QObject* parent = nullptr);
    ~IslandApp() override;

    /// Start-up: the first snapshot, the panel, the tray item and the pointer tracking.
    /// WRENISLAND_FORCE_OPEN and WRENISLAND_FORCE_SELECT apply here. The snapshot is waited for
    /// when `firstRead` holds one (read while the toolkit started), else read here; either way
    /// it is applied before the panel exists, so the first frame shows it.
    void start(std::future<MachineSnapshot> firstRead = {});

    IslandModel& model() { return *model_; }
    IslandPanel& panel() { return *panel_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // IslandPort
    bool isExpanded() const override;
    bool isHovering() const override;
    void setExpanded(bool expanded) override;
    void setHovering(bool hovering) override;
    Rect hitRect(const Rect& screen) const override;
    void updateMetrics(const NotchMetrics& metrics) override;
    void placePanel(const Rect& area) override;
    void setClickable(bool clickable) override;
    void setPolling(bool polling) override;

    /// The pointer and the screens as they are now.
    PointerSample sample();
    void pointerMoved();
    void screensChanged();
    void watchScreen(QScreen* screen);
    /// Follows the compositor, the stacking and full-screen windows.
    void followDesktop();
    void keepOnTop();
    void stepAsideForFullScreen();
    bool isOnAnotherScreen(const PointerSample& now) const;
    void letGoOfThePointer();
    void applyForcedSelection();

    std::unique_ptr<IslandModel> model_;
    std::unique_ptr<IslandPanel> panel_;
    std::unique_ptr<IslandController> controller_;
    std::unique_ptr<LiveIsland> live_;
    std::unique_ptr<PointerMonitor> monitor_;
    std::unique_ptr<DesktopWatcher> desktop_;
    QtScheduler* scheduler_;
    std::unique_ptr<FinishNotifications> notifications_;
    std::unique_ptr<IslandMenu> menu_;  // and the choices it holds
    RaiseLimiter raises_;
    QTimer* raiseLater_ = nullptr;
    bool steppedAside_ = false;  // hidden while a full-screen window is in front
    QTimer* poll_;
    std::vector<ScreenFrame> screens_;  // filled by sample()
    std::chrono::steady_clock::time_point processStart_;
    bool firstFramePainted_ = false;
};

}  // namespace wren
