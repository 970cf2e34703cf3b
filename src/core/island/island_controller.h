#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "core/island/notch_metrics.h"

namespace wren {

/// One attached screen: an identity that stays the same while the screen stays attached (the
/// toolkit's screen object, as a number), its frame in desktop coordinates (which screen the
/// pointer is on), and the part of it the island hangs in (IslandGeometry::hangingArea: where
/// the island is placed and its hit rectangle measured).
struct ScreenFrame {
    std::uintptr_t id = 0;
    Rect frame;
    Rect area;
};

/// Where the pointer is and which screens there are, read once per step by the caller.
struct PointerSample {
    Point position;
    std::span<const ScreenFrame> screens;  // never empty
    std::optional<std::size_t> primary;    // index into `screens`
};

/// What the controller drives: the island model, the panel and the poll timer. The Qt layer
/// implements it over IslandModel and IslandPanel; tests implement it with a recording fake.
class IslandPort {
  public:
    virtual ~IslandPort() = default;

    virtual bool isExpanded() const = 0;
    virtual bool isHovering() const = 0;
    /// Opens or closes the island (closing clears the selection).
    virtual void setExpanded(bool expanded) = 0;
    /// Marks the pointer as resting on the island (true also refreshes the data).
    virtual void setHovering(bool hovering) = 0;
    /// The hit rectangle of the island as it stands, hanging from the top of `area`.
    virtual Rect hitRect(const Rect& area) const = 0;
    /// Takes the notch metrics of the island's new screen.
    virtual void updateMetrics(const NotchMetrics& metrics) = 0;
    /// Places the panel at the top centre of `area`, the part of its screen the island hangs in.
    virtual void placePanel(const Rect& area) = 0;
    /// Whether the panel takes clicks (open) or lets them through (collapsed).
    virtual void setClickable(bool clickable) = 0;
    /// Starts or stops the 1/30 s poll that calls IslandController::pointerMoved.
    virtual void setPolling(bool polling) = 0;
};

/// Runs a task later on the same thread; a cancelled task never runs.
class Scheduler {
  public:
    using TaskId = std::uint64_t;
    virtual ~Scheduler() = default;
    virtual TaskId schedule(double delaySeconds, std::function<void()> task) = 0;
    virtual void cancel(TaskId task) = 0;
};

/// Turns pointer movement into the island's behaviour: it opens once the pointer has rested on
/// the collapsed island for the open dwell, closes once the pointer has been off the open island
/// for the close grace, and follows the pointer from screen to screen (collapsing on the way).
///
///   state      hover  expanded  pending       polling  clickable
///   Collapsed  no     no        none          off      no
///   Dwell      yes    no        open          on       no
///   Open       yes    yes       none          on       yes
///   Grace      no     yes       close         on       yes
///
/// Pure logic on one thread: time passes only through the scheduler, and every step reads the
/// pointer from the sample it is given. With `pinnedOpen` it opens at start and ignores the
/// pointer for good. Before start() the pointer and screen calls do nothing. A screen is known
/// by its id: a new frame under the same id is the same screen. setClickable and setPolling
/// reach the port only when the value changes, so a step with nothing new writes nothing.
class IslandController {
  public:
    static constexpr double kOpenDwell = 0.22;
    static constexpr double kCloseGrace = 0.14;

    IslandController(IslandPort& port, Scheduler& scheduler, bool pinnedOpen,
                     std::optional<std::int64_t> pinnedScreen);
    ~IslandController();
    IslandController(const IslandController&) = delete;
    IslandController& operator=(const IslandController&) = delete;

    /// Chooses the screen, measures it, places the panel; with `pinnedOpen`, hovers and opens.
    /// The caller shows the panel afterwards and, unless pinned open, starts its pointer monitor.
    void start(const PointerSample& sample);

    /// One step of the state machine, for every pointer event and every poll tick.
    void pointerMoved(const PointerSample& sample);
    /// Where the pointer cannot be seen outside the island's own window (XWayland): it left
    /// that window. Every step until the next pointerEntered takes it as outside and does not
    /// poll, because the position read meanwhile is only the last one seen over the window,
    /// perhaps inside the hit rectangle: so a pass shorter than the dwell never opens, and a
    /// jump or flick away always closes after the grace.
    void pointerLeft();
    /// The pointer entered the island's window, where its position is current again.
    void pointerEntered(const PointerSample& sample);

    /// The screens changed: re-measure and move to the screen under the pointer, leaving the
    /// island's state and pending tasks as they are.
    void screensChanged(const PointerSample& sample);

    bool isPinnedOpen() const { return pinnedOpen_; }
    bool hasPendingOpen() const { return pendingOpen_.has_value(); }
    bool hasPendingClose() const { return pendingClose_.has_value(); }
    bool isPointerAway() const { return pointerAway_; }
    const std::optional<ScreenFrame>& currentScreen() const { return currentScreen_; }

  private:
    ScreenFrame chooseScreen(const PointerSample& sample) const;
    void step(bool inside);
    void scheduleOpen();
    void scheduleClose();
    void cancelOpen();
    void cancelClose();
    void setClickable(bool clickable);
    void setPolling(bool polling);

    IslandPort& port_;
    Scheduler& scheduler_;
    const bool pinnedOpen_;
    const std::optional<std::int64_t> pinnedScreen_;
    std::optional<ScreenFrame> currentScreen_;
    std::optional<Scheduler::TaskId> pendingOpen_;
    std::optional<Scheduler::TaskId> pendingClose_;
    // Between pointerLeft and pointerEntered: the position the caller reads is stale.
    bool pointerAway_ = false;
    // What the port was last told; unknown until the first call.
    std::optional<bool> clickable_;
    std::optional<bool> polling_;
};

}  // namespace wren
