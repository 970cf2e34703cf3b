#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "models/island_model.h"
#include "models/animation.h"
#include "views/island_view.h"

namespace wren::testing {

inline constexpr double kNow = 1718438400;  // 2024-06-15T10:00+02:00

/// A session `minutesAgo` old with `tokens` in context and a useful share of `useful`.
inline SessionSummary session(std::string id, double minutesAgo, std::int64_t tokens,
                              std::optional<std::string> message = "fix the parser") {
    SessionSummary s;
    s.id = "claude:" + id;
    s.nativeID = std::move(id);
    s.project = "wren";
    s.lastActivity = instantFromUnix(kNow - minutesAgo * 60);
    s.lastUserMessage = std::move(message);
    s.reportedTokens = tokens;
    s.segments = {{"useful", "Useful", tokens / 2, ContextSegment::usefulColor},
                  {"stale", "Stale reads", tokens / 2, ContextSegment::staleColor}};
    return s;
}

/// An island over a fixed snapshot and clock, with animations off (settled) unless a test turns
/// them on with its own clock.
class IslandTest : public ::testing::Test {
  protected:
    void SetUp() override { anim::Animator::instance().setDisabled(true); }
    void TearDown() override {
        view_.reset();
        model_.reset();
        anim::Animator::instance().setDisabled(false);
        anim::Animator::instance().setClock({});
        anim::Animator::instance().advance();  // drops the frames of the views just destroyed
    }

    IslandView& show(std::vector<SessionSummary> sessions, MachineSnapshot extra = {}) {
        extra.sessions = std::move(sessions);
        snapshot_ = std::make_shared<MachineSnapshot>(std::move(extra));
        WrenContextWidget::Options options;
        options.reader = [snapshot = snapshot_] { return *snapshot; };
        options.clock = [] { return instantFromUnix(kNow); };
        options.setup = ContextModel::Setup{LocalCalendar("UTC"), std::nullopt, {}};
        model_ = std::make_unique<IslandModel>(std::move(options));
        model_->widget().refreshNow();
        view_ = std::make_unique<IslandView>(*model_);
        view_->resize(view_->sizeHint());
        settle();
        return *view_;
    }

    /// Lays the island out at the animator's now.
    void settle() { view_->advance(anim::Animator::instance().now()); }
    QImage picture() {
        settle();
        return view_->renderToImage(1);
    }

    IslandModel& model() { return *model_; }
    IslandView& view() { return *view_; }

    /// What the next read returns.
    std::shared_ptr<MachineSnapshot> snapshot_;
    std::unique_ptr<IslandModel> model_;
    std::unique_ptr<IslandView> view_;
};

inline int alphaAt(const QImage& image, double x, double y) {
    return qAlpha(image.pixel(static_cast<int>(x), static_cast<int>(y)));
}
inline int redAt(const QImage& image, double x, double y) {
    return qRed(image.pixel(static_cast<int>(x), static_cast<int>(y)));
}
/// Opaque black: the island's fill.
inline bool isBody(const QImage& image, double x, double y) {
    const QRgb p = image.pixel(static_cast<int>(x), static_cast<int>(y));
    return qAlpha(p) == 255 && qRed(p) < 8 && qGreen(p) < 8 && qBlue(p) < 8;
}

}  // namespace wren::testing
