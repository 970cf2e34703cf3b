#include "desktop/island_app.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "desktop/finish_notifications.h"
#include "desktop/island_menu.h"
#include "models/island_model.h"
#include "desktop/island_panel.h"
#include "desktop/live_island.h"
#include "desktop/qt_scheduler.h"
#include "core/discovery/profile.h"
#include "core/discovery/transcript_watch.h"
#include "platform/desktop_session.h"
#include "platform/desktop_watcher.h"
#include "platform/pointer_monitor.h"
#include "views/context_views.h"
#include "views/island_view.h"
#include "views/session_detail.h"
#include "views/session_entry.h"
#include "models/row_actions.h"
#include "core/sessions/strict_decimal.h"

namespace wren {
namespace {

constexpr int kPollMs = 1000 / 30;

Rect toRect(const QRect& r) {
    return {static_cast<double>(r.x()), static_cast<double>(r.y()), static_cast<double>(r.width()),
            static_cast<double>(r.height())};
}

bool environmentIs(const char* name, const char* value) {
    const char* set = std::getenv(name);
    return set != nullptr && std::strcmp(set, value) == 0;
}

}  // namespace

IslandApp::IslandApp(std::chrono::steady_clock::time_point processStart, QObject* parent)
    : QObject(parent),
      scheduler_(new QtScheduler(this)),
      poll_(new QTimer(this)),
      processStart_(processStart) {
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &IslandApp::pointerMoved);
}

IslandApp::~IslandApp() {
    controller_.reset();  // cancels its pending tasks while the scheduler still exists
    live_.reset();        // its timers and watch go before the model they read
}

void IslandApp::start(std::future<MachineSnapshot> firstRead) {
    model_ = std::make_unique<IslandModel>();
    // The first frame shows real data, and the panel's height follows it.
    if (firstRead.valid()) {
        model_->widget().refreshNow(firstRead.get());
    } else {
        model_->widget().refreshNow();
    }
    connect(&model_->widget(), &WrenContextWidget::refreshFinished, this,
            [] { Profile::flush("refresh"); });

    notifications_ = std::make_unique<FinishNotifications>(
        model_->widget(), [this] { return menu_->settings().notifyWhenFinished; });
    menu_ = std::make_unique<IslandMenu>(
        Settings::load(Settings::userPath()),
        [this] { return notifications_->unavailableReason(); });
    connect(menu_.get(), &IslandMenu::overTopPanelChanged, this, &IslandApp::screensChanged);
    connect(menu_.get(), &IslandMenu::showOverFullScreenChanged, this,
            &IslandApp::stepAsideForFullScreen);

    panel_ = std::make_unique<IslandPanel>(*model_);
    panel_->setContextMenu([this](QPoint global) { menu_->popup(global); });
    panel_->view().setActions(RowActionHandlers::inBackground());
    monitor_ = PointerMonitor::create(this);
    const bool seesPointer = monitor_->kind() != PointerMonitor::Kind::none;
    panel_->setInputMode(seesPointer ? IslandPanel::InputMode::transparent
                                     : IslandPanel::InputMode::hitRectOnly);
    followDesktop();

    const bool pinnedOpen = environmentIs("WRENISLAND_FORCE_OPEN", "1");
    IslandPort& port = *this;
    controller_ = std::make_unique<IslandController>(port, *scheduler_, pinnedOpen,
                                                     ScreenChoice::pinnedScreen());
    controller_->start(sample());
    if (pinnedOpen) applyForcedSelection();

    // Follows the transcripts and the clock from here on; the relative times, the active
    // count and today's totals are repainted when their text would change.
    live_ = std::make_unique<LiveIsland>(*model_, TranscriptWatch::agentRoots());
    connect(live_.get(), &LiveIsland::clockTextsChanged, this, [this] {
        IslandView& view = panel_->view();
        view.strip().update();
        view.sessionPanel().update();
        for (SessionEntry* entry : view.sessionPanel().entries()) entry->update();
    });

    if (Profile::enabled()) panel_->view().installEventFilter(this);
    if (!steppedAside_) {
        panel_->show();
        panel_->raise();
    }

    for (QScreen* screen : QGuiApplication::screens()) watchScreen(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watchScreen(screen);
        screensChanged();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &IslandApp::screensChanged);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &IslandApp::screensChanged);

    if (pinnedOpen) return;  // open for good: nothing to follow
    connect(monitor_.get(), &PointerMonitor::moved, this, &IslandApp::pointerMoved);
    monitor_->start();
    if (seesPointer) {
        connect(panel_.get(), &IslandPanel::pointerEntered, this, &IslandApp::pointerMoved);
        connect(panel_.get(), &IslandPanel::pointerLeft, this, &IslandApp::pointerMoved);
        pointerMoved();  // the pointer may already rest where the island appears
        return;
    }
    // The pointer is seen only over our windows: leaving them is the pointer leaving, whatever
    // position is read afterwards, and until it first enters, where it is is not known.
    connect(panel_.get(), &IslandPanel::pointerEntered, this,
            [this] { controller_->pointerEntered(sample()); });
    connect(panel_.get(), &IslandPanel::pointerLeft, this, [this] {
        // Onto our own menu, the X server still sees the pointer: its position stays current.
        if (QApplication::activePopupWidget() != nullptr) {
            pointerMoved();
        } else {
            controller_->pointerLeft();
        }
    });
    controller_->pointerLeft();
}

bool IslandApp::eventFilter(QObject* watched, QEvent* event) {
    if (panel_ && watched == &panel_->view() && event->type() == QEvent::Paint &&
        !firstFramePainted_) {
        // How long a user waits for the island: from the process's start to its first frame.
        firstFramePainted_ = true;
        watched->removeEventFilter(this);
        const auto elapsed = std::chrono::steady_clock::now() - processStart_;
        Profile::record("firstFrame",
                        static_cast<std::uint64_t>(
                            std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
        QTimer::singleShot(0, this, [] { Profile::flush("start-up"); });
    }
    return QObject::eventFilter(watched, event);
}

void IslandApp::applyForcedSelection() {
    const char* value = std::getenv("WRENISLAND_FORCE_SELECT");
    if (value == nullptr) return;
    const std::optional<std::int64_t> n = parseStrictDecimal(value);
    const SessionList& sessions = model_->widget().sessions();
    if (n && *n >= 1 && *n <= static_cast<std::int64_t>(sessions.size())) {
        model_->widget().toggleSelection(sessions[static_cast<std::size_t>(*n - 1)].id);
    }
}

void IslandApp::followDesktop() {
    desktop_ = DesktopWatcher::create(panel_->windowHandle(), this);
    const bool onX11 = QGuiApplication::platformName() == QLatin1String("xcb");
    // Without a compositor translucent pixels show black: shape the window to the body then.
    panel_->setShapedToBody(onX11 && !desktop_->hasCompositor());
    connect(desktop_.get(), &DesktopWatcher::compositorChanged, this, [this, onX11](bool present) {
        panel_->setShapedToBody(onX11 && !present);
        panel_->update();
    });

    raiseLater_ = new QTimer(this);
    raiseLater_->setSingleShot(true);
    connect(raiseLater_, &QTimer::timeout, this, &IslandApp::keepOnTop);
    connect(desktop_.get(), &DesktopWatcher::restacked, this, &IslandApp::keepOnTop);

    connect(desktop_.get(), &DesktopWatcher::fullScreenChanged, this,
            &IslandApp::stepAsideForFullScreen);
    stepAsideForFullScreen();
}

void IslandApp::keepOnTop() {
    if (steppedAside_ || !panel_->isVisible() || raiseLater_->isActive()) return;
    if (desktop_->isTopmost()) return;
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    const double wait = raises_.waitBeforeRaise(now);
    if (wait > 0) {
        raiseLater_->start(static_cast<int>(wait * 1000) + 1);
        return;
    }
    raises_.raised(now);
    desktop_->raiseIsland();
}

void IslandApp::stepAsideForFullScreen() {
    const bool aside = desktop_->isCoveredByFullScreen() && !menu_->settings().showOverFullScreen;
    if (aside == steppedAside_) return;
    steppedAside_ = aside;
    if (aside) {
        panel_->hide();  // and so it takes no input
        letGoOfThePointer();
    } else {
        panel_->show();
        desktop_->raiseIsland();
        // Where the pointer is seen everywhere, it may have moved on while the island was away.
        if (monitor_ && monitor_->kind() != PointerMonitor::Kind::none) pointerMoved();
    }
}

void IslandApp::letGoOfThePointer() {
    if (!controller_ || !monitor_) return;
    if (monitor_->kind() == PointerMonitor::Kind::none) {
        controller_->pointerLeft();  // seen only over the island, which it has now left
        return;
    }
    // One step as if the pointer were in the far corner of the island's screen: an open island
    // closes after the grace and the poll stops, though the pointer may rest where it was.
    const std::optional<ScreenFrame>& current = controller_->currentScreen();
    if (!current) return;
    PointerSample away = sample();
    away.position = Point{current->frame.x + current->frame.width - 1,
                          current->frame.y + current->frame.height - 1};
    controller_->pointerMoved(away);
}

void IslandApp::watchScreen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &IslandApp::screensChanged,
            Qt::UniqueConnection);
    // A top panel that appears, goes or changes height.
    connect(screen, &QScreen::availableGeometryChanged, this, &IslandApp::screensChanged,
            Qt::UniqueConnection);
}

PointerSample IslandApp::sample() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    screens_.clear();
    std::optional<std::size_t> primary;
    for (QScreen* screen : screens) {
        if (screen == QGuiApplication::primaryScreen()) primary = screens_.size();
        const Rect frame = toRect(screen->geometry());
        screens_.push_back({reinterpret_cast<std::uintptr_t>(screen), frame,
                            IslandGeometry::hangingArea(frame, toRect(screen->availableGeometry()),
                                                        menu_->settings().overTopPanel)});
    }
    if (screens_.empty()) {  // never drawn on
        screens_.push_back({0, Rect{0, 0, 1920, 1080}, Rect{0, 0, 1920, 1080}});
    }
    const QPoint pointer = QCursor::pos();
    return {Point{static_cast<double>(pointer.x()), static_cast<double>(pointer.y())}, screens_,
            primary};
}

void IslandApp::pointerMoved() {
    if (!controller_) return;
    const PointerSample now = sample();
    if (steppedAside_ && !isOnAnotherScreen(now)) return;
    controller_->pointerMoved(now);
}

bool IslandApp::isOnAnotherScreen(const PointerSample& now) const {
    // Hidden behind a full-screen window, the island ignores the pointer on its own screen; a
    // move to another screen takes it there, where it may be seen.
    const std::optional<ScreenFrame>& current = controller_->currentScreen();
    if (!current) return false;
    std::vector<Rect> frames;
    for (const ScreenFrame& screen : now.screens) frames.push_back(screen.frame);
    const std::size_t under = ScreenChoice::screenUnderPointer(
        frames, now.position, ScreenChoice::pinnedScreen(), now.primary);
    return under < now.screens.size() && now.screens[under].id != current->id;
}

void IslandApp::screensChanged() {
    if (controller_) controller_->screensChanged(sample());
}

// ---- IslandPort ----

bool IslandApp::isExpanded() const {
    return model_->isExpanded();
}
bool IslandApp::isHovering() const {
    return model_->isHoveringCollapsed();
}
void IslandApp::setExpanded(bool expanded) {
    model_->setExpanded(expanded);
}
void IslandApp::setHovering(bool hovering) {
    model_->setHovering(hovering);
}
Rect IslandApp::hitRect(const Rect& screen) const {
    return model_->hitRect(screen);
}
void IslandApp::updateMetrics(const NotchMetrics& metrics) {
    model_->update(metrics);
}

void IslandApp::placePanel(const Rect& area) {
    panel_->placeOn(area);
    // A hidden widget keeps a new place to itself until it is shown, but whether a full-screen
    // window covers the island is asked of the server: tell the server now.
    if (!panel_->isVisible() && panel_->windowHandle() != nullptr) {
        panel_->windowHandle()->setGeometry(panel_->geometry());
    }
    if (desktop_) desktop_->recheckFullScreen();
}

void IslandApp::setClickable(bool clickable) {
    panel_->setClickable(clickable);
}

void IslandApp::setPolling(bool polling) {
    if (polling == poll_->isActive()) return;
    if (polling) {
        poll_->start();
    } else {
        poll_->stop();
    }
}

}  // namespace wren
