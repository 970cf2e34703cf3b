#include "desktop/island_panel.h"

#include <gtest/gtest.h>

#include <QRect>

#include "models/island_model.h"
#include "models/animation.h"
#include "views/island_fixture.h"
#include "views/island_view.h"

namespace wren {
namespace {

using testing::session;

// Leaves the animator as other tests expect it: on, on its own clock, and ticking no frames for
// a panel that is gone.
class IslandPanelTest : public ::testing::Test {
  protected:
    void TearDown() override {
        anim::Animator& animator = anim::Animator::instance();
        animator.setDisabled(false);
        animator.setClock({});
        animator.advance();
    }
};

// The window only ever holds what is drawn, and the body never moves on the desktop while the
// window grows, shrinks and moves around it.
TEST_F(IslandPanelTest, WindowGrowsBeforeTheBodyAndShrinksOnceItRests) {
    anim::Animator& animator = anim::Animator::instance();
    double t = 100;
    animator.setClock([&t] { return t; });
    animator.setDisabled(false);

    MachineSnapshot snapshot;
    snapshot.sessions = {session("a", 5, 1000), session("b", 10, 2000), session("c", 20, 3000)};
    WrenContextWidget::Options options;
    options.reader = [snapshot] { return snapshot; };
    options.clock = [] { return instantFromUnix(testing::kNow); };
    options.setup = ContextModel::Setup{LocalCalendar("UTC"), std::nullopt, {}};
    IslandModel model(std::move(options));
    model.widget().refreshNow();
    IslandPanel panel(model);
    panel.placeOn(Rect{0, 32, 1920, 1048});  // below a 32-high top panel
    panel.show();

    const QRect collapsed(707, 32, 506, 60), open(687, 32, 546, 170), selected(687, 32, 546, 316);
    EXPECT_EQ(panel.geometry(), collapsed);
    // Runs the frames for `seconds`, checking each; returns the window it ended with.
    auto run = [&](double seconds) {
        for (const double end = t + seconds; t < end;) {
            t += 1.0 / 60;
            animator.advance();
            const QRectF body = panel.view().bodyFrame();
            EXPECT_EQ(panel.x() + body.x(), 707) << t;
            // The shadow, or else the rim's outer half.
            const double drawn =
                body.bottom() +
                (panel.view().shadowOpacity() > 0.001 ? IslandGeometry::kShadowReach : 0.375);
            EXPECT_LE(drawn, panel.height()) << t;
        }
        return panel.geometry();
    };

    model.setExpanded(true);
    EXPECT_EQ(panel.geometry(), open);  // before the first frame of the opening
    EXPECT_EQ(run(1), open);
    model.widget().toggleSelection("claude:b");
    EXPECT_EQ(run(1.0 / 60), selected);
    EXPECT_EQ(run(1), selected);
    model.widget().toggleSelection("claude:b");
    EXPECT_EQ(run(0.1), selected);  // still shrinking
    EXPECT_EQ(run(1), open);
    model.setExpanded(false);
    EXPECT_EQ(run(0.2), open);  // still closing
    EXPECT_EQ(run(1), collapsed);
    model.setHovering(true);
    EXPECT_EQ(run(1), collapsed);  // the hover growth is inside

    // Another screen: there at once.
    panel.placeOn(Rect{1920, 0, 2560, 1440});
    EXPECT_EQ(panel.geometry(), QRect(1920 + 1280 - 253, 0, 506, 60));
}

}  // namespace
}  // namespace wren
