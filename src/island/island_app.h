#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <vector>

#include "island/island_controller.h"
#include "island/raise_limiter.h"
#include "machine/machine_snapshot.h"
#include "platform/settings.h"
#include "widget/finish_notice.h"

class QAction;
class QMenu;
class QScreen;
class QSystemTrayIcon;
class QTimer;

namespace wren {

class DesktopNotifier;
class DesktopWatcher;
class IslandModel;
class IslandPanel;
class LiveIsland;
class PointerMonitor;
class QuitSignals;

/// The running island: loads the first data and the remembered menu choices, hangs the panel
/// from the top centre of the screen under the pointer (below its top panel unless "Over the top
/// panel" is chosen), follows the pointer, offers the menu with Quit in the tray (or on a right
/// click where there is no tray), and follows screens and their panels as they come and go.
/// GUI thread only.
class IslandApp final : public QObject, private IslandPort, private Scheduler {
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
    // Scheduler
    TaskId schedule(double delaySeconds, std::function<void()> task) override;
    void cancel(TaskId task) override;

    /// The pointer and the screens as they are now.
    PointerSample sample();
    void pointerMoved();
    void screensChanged();
    void watchScreen(QScreen* screen);
    void buildMenu();
    void addStartAtLogin();
    void addOverTopPanel();
    void addShowOverFullScreen();
    void addNotifyWhenFinished();
    /// Writes settings_ after the user changed one; a failure shows in the menu, and the
    /// choice still holds until the island quits.
    void saveSettings();
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
    Settings settings_;  // the menu's choices: read once at start, written only on a change
    RaiseLimiter raises_;
    QTimer* raiseLater_ = nullptr;
    bool steppedAside_ = false;  // hidden while a full-screen window is in front
    QTimer* poll_;
    QMenu* menu_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QAction* settingsProblem_ = nullptr;
    std::vector<ScreenFrame> screens_;  // filled by sample()
    std::map<TaskId, QPointer<QTimer>> tasks_;
    TaskId nextTask_ = 1;
    std::unique_ptr<DesktopNotifier> notifier_;
    FinishWatch finishWatch_;
    std::chrono::steady_clock::time_point processStart_;
    bool firstFramePainted_ = false;
};

}  // namespace wren
