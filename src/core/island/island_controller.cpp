#include "core/island/island_controller.h"

#include <array>
#include <vector>

namespace wren {

IslandController::IslandController(IslandPort& port, Scheduler& scheduler, bool pinnedOpen,
                                   std::optional<std::int64_t> pinnedScreen)
    : port_(port), scheduler_(scheduler), pinnedOpen_(pinnedOpen), pinnedScreen_(pinnedScreen) {}

// The delayed tasks hold `this`; cancelling them here is what makes that safe.
IslandController::~IslandController() {
    cancelOpen();
    cancelClose();
}

ScreenFrame IslandController::chooseScreen(const PointerSample& sample) const {
    // This runs on every poll tick: most desktops have a handful of screens, so their frames go
    // in a buffer on the stack and only an unusual setup pays for an allocation.
    constexpr std::size_t kInline = 16;
    std::array<Rect, kInline> inlineFrames;
    std::vector<Rect> heapFrames;
    std::span<Rect> frames;
    if (sample.screens.size() <= kInline) {
        frames = std::span<Rect>(inlineFrames).first(sample.screens.size());
    } else {
        heapFrames.resize(sample.screens.size());
        frames = heapFrames;
    }
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = sample.screens[i].frame;
    const std::size_t index =
        ScreenChoice::screenUnderPointer(frames, sample.position, pinnedScreen_, sample.primary);
    return sample.screens[index];
}

void IslandController::start(const PointerSample& sample) {
    currentScreen_ = chooseScreen(sample);
    setClickable(false);  // clicks pass through the collapsed island
    port_.updateMetrics(NotchMetrics::forScreen());
    port_.placePanel(currentScreen_->area);
    if (!pinnedOpen_) return;
    if (!port_.isHovering()) port_.setHovering(true);
    if (!port_.isExpanded()) port_.setExpanded(true);
}

void IslandController::pointerMoved(const PointerSample& sample) {
    if (pinnedOpen_ || !currentScreen_ || pointerAway_) return;
    const ScreenFrame screen = chooseScreen(sample);
    if (screen.id != currentScreen_->id) {
        // Another screen: start over there, collapsed, with nothing left pending from here.
        currentScreen_ = screen;
        port_.updateMetrics(NotchMetrics::forScreen());
        cancelOpen();
        cancelClose();
        if (port_.isExpanded()) port_.setExpanded(false);
        if (port_.isHovering()) port_.setHovering(false);
        port_.placePanel(screen.area);
    } else {
        // Same screen, perhaps resized or with a new top panel: test against it as it is now.
        // Moving the panel is left to screensChanged, which follows any change of its geometry.
        currentScreen_ = screen;
    }
    step(port_.hitRect(currentScreen_->area).contains(sample.position));
}

void IslandController::pointerLeft() {
    if (pinnedOpen_ || !currentScreen_) return;
    pointerAway_ = true;
    step(false);
}

void IslandController::pointerEntered(const PointerSample& sample) {
    if (pinnedOpen_ || !currentScreen_) return;
    pointerAway_ = false;
    pointerMoved(sample);
}

void IslandController::screensChanged(const PointerSample& sample) {
    if (!currentScreen_) return;  // start() measures and places the panel itself
    currentScreen_ = chooseScreen(sample);
    port_.updateMetrics(NotchMetrics::forScreen());
    port_.placePanel(currentScreen_->area);
}

void IslandController::step(bool inside) {
    if (inside) {
        if (!port_.isHovering()) port_.setHovering(true);
        scheduleOpen();
    } else {
        if (port_.isHovering()) port_.setHovering(false);
        scheduleClose();
    }
    setClickable(port_.isExpanded());
    // Keep watching while the pointer is on the island (to notice it leave without an event)
    // or a close is pending (to notice it come back in time).
    // Away, a poll would only read the stale position again.
    setPolling(!pointerAway_ && (inside || pendingClose_.has_value()));
}

void IslandController::scheduleOpen() {
    cancelClose();
    // An open in flight is never restarted: the dwell counts from the first step onto the island.
    if (port_.isExpanded() || pendingOpen_) return;
    pendingOpen_ = scheduler_.schedule(kOpenDwell, [this] {
        pendingOpen_.reset();
        if (!port_.isExpanded()) port_.setExpanded(true);
        setClickable(true);
    });
}

void IslandController::scheduleClose() {
    cancelOpen();
    if (!port_.isExpanded() || pendingClose_) return;
    pendingClose_ = scheduler_.schedule(kCloseGrace, [this] {
        pendingClose_.reset();
        if (port_.isExpanded()) port_.setExpanded(false);
        setClickable(false);
        setPolling(false);
    });
}

void IslandController::cancelOpen() {
    if (!pendingOpen_) return;
    scheduler_.cancel(*pendingOpen_);
    pendingOpen_.reset();
}

void IslandController::cancelClose() {
    if (!pendingClose_) return;
    scheduler_.cancel(*pendingClose_);
    pendingClose_.reset();
}

// Every step would otherwise repeat both settings 30 times a second while polling; the panel
// and the timer change only on a transition.
void IslandController::setClickable(bool clickable) {
    if (clickable_ == clickable) return;
    clickable_ = clickable;
    port_.setClickable(clickable);
}

void IslandController::setPolling(bool polling) {
    if (polling_ == polling) return;
    polling_ = polling;
    port_.setPolling(polling);
}

}  // namespace wren
