#pragma once

#include <optional>

namespace wren {

/// Paces the snapshots that follow transcript changes: the first change after a quiet spell is
/// read at once, later ones at most once per `gap` seconds, and nothing at all without a change.
/// So an agent writing ten lines a second costs one snapshot every `gap` seconds, and the last
/// line it wrote is always read. Pure: times are seconds on any monotonic clock, passed in.
class RefreshPacer {
  public:
    static constexpr double kGap = 2;

    explicit RefreshPacer(double gap = kGap) : gap_(gap) {}

    /// A transcript changed at `now`. Returns the delay after which to call due(), or nothing
    /// when a call is already scheduled.
    std::optional<double> changed(double now);

    /// The scheduled time came. True when a snapshot should be read now (it is counted as read
    /// at `now`); false when the call came early, in which case changed() says when to retry.
    bool due(double now);

    /// A change is waiting for its snapshot.
    bool isPending() const { return pending_; }

  private:
    double gap_;
    std::optional<double> lastStart_;
    bool pending_ = false;
    bool scheduled_ = false;
};

}  // namespace wren
