#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "views/context_views.h"
#include "views/island_fixture.h"
#include "views/session_detail.h"
#include "views/session_entry.h"

namespace wren {
namespace {

using testing::alphaAt;
using testing::isBody;
using testing::redAt;
using testing::session;

// The panel is 546 wide; the body with its ears, 506, starts 20 in.
constexpr double kLeft = 20;
constexpr double kMid = 273;

class IslandViewTest : public testing::IslandTest {};

TEST_F(IslandViewTest, CollapsedBodyHangsFromTheTopCentre) {
    show({session("a", 5, 1000)});
    for (bool hovering : {false, true}) {
        model().setHovering(hovering);
        const QImage image = picture();
        const double height = hovering ? 59 : 56;
        EXPECT_EQ(image.size(), QSize(546, 237));
        EXPECT_EQ(view().bodyFrame(), QRectF(kLeft, 0, 506, height));
        // The ears reach the outer corners at the top edge and open below it.
        EXPECT_TRUE(isBody(image, kLeft + 10, 2));
        EXPECT_TRUE(isBody(image, 525 - 10, 2));
        EXPECT_EQ(alphaAt(image, kLeft + 1, 2), 0);
        EXPECT_EQ(alphaAt(image, 525 - 1, 2), 0);
        EXPECT_EQ(alphaAt(image, kLeft + 1, 11), 0);
        EXPECT_EQ(alphaAt(image, 524, 11), 0);
        EXPECT_TRUE(isBody(image, kLeft + 14, 30));
        EXPECT_EQ(alphaAt(image, kLeft + 11, 30), 0);
        // The bottom edge, and nothing below it: no shadow while collapsed.
        EXPECT_TRUE(isBody(image, kMid, height - 2));
        EXPECT_EQ(alphaAt(image, kMid, height + 1), 0);
        EXPECT_EQ(alphaAt(image, kMid, height + 10), 0);
        EXPECT_EQ(alphaAt(image, 2, 2), 0);
    }
}

TEST_F(IslandViewTest, OpeningRoundsTheCornersGrowsTheBodyAndCastsAShadow) {
    show({session("a", 5, 1000), session("b", 10, 2000), session("c", 20, 3000)});
    // A point inside a 14-radius bottom corner but outside a 26-radius one.
    auto cornerProbe = [&](double height) { return std::pair{kLeft + 13 + 4, height - 6}; };

    QImage image = picture();
    EXPECT_EQ(view().bottomRadius(), 14);
    auto [cx, cy] = cornerProbe(56);
    EXPECT_TRUE(isBody(image, cx, cy));

    model().setExpanded(true);
    image = picture();
    const double open = 32 + 22 + 3 * 25;
    EXPECT_EQ(view().bodyFrame().height(), open);
    EXPECT_EQ(view().bottomRadius(), 26);
    std::tie(cx, cy) = cornerProbe(open);
    EXPECT_FALSE(isBody(image, cx, cy));
    EXPECT_TRUE(isBody(image, kMid, open - 2));
    // The shadow: dark, translucent and below the body, strongest near it.
    EXPECT_GT(alphaAt(image, kMid, open + 8), 40);
    EXPECT_LT(alphaAt(image, kMid, open + 8), 255 * 0.45 + 1);
    EXPECT_GT(alphaAt(image, kMid, open + 8), alphaAt(image, kMid, open + 30));
    EXPECT_EQ(redAt(image, kMid, open + 8), 0);
}

TEST_F(IslandViewTest, RimIsBrighterThanTheFillAtTheBottomEdge) {
    show({session("a", 5, 1000)});
    const QImage image = picture();
    const int rim = redAt(image, kMid, 55);  // the last row of the body, under the hairline
    EXPECT_GT(rim, redAt(image, kMid, 45));
    EXPECT_LE(rim, 0.14 * 255);
    // Along the side it fades towards the top.
    EXPECT_LT(redAt(image, kLeft + 13, 16), redAt(image, kLeft + 13, 40));
}

TEST_F(IslandViewTest, RowsStackTwentyFiveApartAndSelectionOpensTheDetail) {
    show({session("a", 5, 1000), session("b", 10, 2000), session("c", 20, 3000)});
    model().setExpanded(true);
    settle();
    const auto& entries = view().sessionPanel().entries();
    ASSERT_EQ(entries.size(), 3u);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i]->y() - entries[i - 1]->y(), 25);
    }
    for (SessionEntry* e : entries) EXPECT_EQ(e->paintOpacity(), 1);

    model().widget().toggleSelection("claude:b");
    QImage image = picture();
    EXPECT_EQ(view().bodyFrame().height(), 32 + 22 + 3 * 25 + 141);
    EXPECT_EQ(entries[1]->currentHeight(), 24 + 138);
    EXPECT_EQ(entries[2]->y() - entries[1]->y(), 24 + 138 + 1);
    EXPECT_DOUBLE_EQ(entries[0]->paintOpacity(), 0.3);
    EXPECT_DOUBLE_EQ(entries[2]->paintOpacity(), 0.3);
    EXPECT_EQ(entries[1]->paintOpacity(), 1);

    // The selected row's highlight: cream at 0.06 over black, in its empty left margin.
    const QPoint corner = entries[1]->mapTo(&view(), QPoint(2, 60));
    EXPECT_NEAR(redAt(image, corner.x(), corner.y()), 0.98 * 0.06 * 255, 2);
    // The composition bar: teal then amber, in line with the agent icon.
    const QPoint bar = entries[1]->mapTo(&view(), QPoint(6 + 43 + 2, 30 + 3));

    EXPECT_EQ(image.pixelColor(bar).green(), qRound(0.70 * 255));

    // Tapping it again clears the selection and the dimming; collapsing clears it too.
    model().widget().toggleSelection("claude:b");
    settle();
    EXPECT_EQ(entries[0]->paintOpacity(), 1);
    model().widget().toggleSelection("claude:c");
    model().setExpanded(false);
    settle();
    EXPECT_FALSE(model().widget().selectedID().has_value());
}

TEST_F(IslandViewTest, ContentSwapsWithItsOwnTimings) {
    show({session("a", 5, 1000)});
    anim::Animator& animator = anim::Animator::instance();
    double t = 100;
    animator.setClock([&t] { return t; });
    animator.setDisabled(false);
    auto at = [&](double seconds) {
        t = 100 + seconds;
        animator.advance();
    };
    auto& panel = view().sessionPanel();
    auto& strip = view().strip();

    model().setExpanded(true);
    at(0.05);
    EXPECT_LT(panel.opacity(), 1e-9);
    EXPECT_LT(strip.opacity(), 1);
    EXPECT_GT(view().bodyFrame().height(), 56);
    at(0.09);
    EXPECT_LT(panel.opacity(), 1e-9);
    EXPECT_EQ(panel.y(), -5);  // still above its place
    at(0.14);
    EXPECT_EQ(strip.opacity(), 0);
    EXPECT_GT(panel.opacity(), 0);
    at(0.29);
    EXPECT_EQ(panel.opacity(), 1);
    EXPECT_EQ(panel.y(), 0);
    EXPECT_GT(view().bottomRadius(), 14);
    at(2);
    EXPECT_EQ(view().bottomRadius(), 26);
    EXPECT_FALSE(animator.isTicking());  // an idle island runs no timer

    t = 200;
    model().setExpanded(false);
    animator.advance();
    t = 200.09;
    animator.advance();
    EXPECT_EQ(panel.opacity(), 0);
    EXPECT_GT(strip.opacity(), 0);
    EXPECT_LT(strip.opacity(), 1);
    t = 200.14;
    animator.advance();
    EXPECT_EQ(strip.opacity(), 1);
}

TEST_F(IslandViewTest, RowsKeepTheirStateAcrossRefreshes) {
    show({session("a", 5, 1000), session("b", 10, 2000)});
    model().setExpanded(true);
    settle();
    SessionEntry* b = view().sessionPanel().entries()[1];
    b->applyHint(SessionActions::reopenFailed());

    // A refresh brings a newer session first and drops a; b's row is the same one, with its hint.
    snapshot_->sessions = {session("new", 1, 10), session("b", 10, 2000)};
    model().widget().refreshNow();
    ASSERT_EQ(view().sessionPanel().entries().size(), 2u);
    ASSERT_EQ(view().sessionPanel().entries()[1], b);
    EXPECT_EQ(view().sessionPanel().entries()[0]->hint(), std::nullopt);
    EXPECT_EQ(b->hint(), SessionActions::reopenFailed());
}

// Where no session was found the demo rows stay (something to show), but nobody may take them for
// real: the band says they are samples instead of giving made-up totals, and no button acts.
TEST_F(IslandViewTest, SamplesAreLabelledAndTheirButtonsOnlySaySo) {
    // The band's middle, between the two columns of totals, holds nothing for real sessions.
    const auto middleOfBand = [this] {
        const QImage image = picture();
        int brightest = 0;
        for (int x = static_cast<int>(kMid) - 60; x <= static_cast<int>(kMid) + 60; ++x) {
            for (int y = 4; y < 28; ++y) brightest = std::max(brightest, qRed(image.pixel(x, y)));
        }
        return brightest;
    };
    show({session("real", 5, 1000)});
    EXPECT_FALSE(model().widget().showsSamples());
    EXPECT_EQ(middleOfBand(), 0);

    WrenContextWidget::Options options;
    options.reader = [] { return MachineSnapshot{}; };
    options.clock = [] { return instantFromUnix(testing::kNow); };
    options.setup = ContextModel::Setup{
        LocalCalendar("UTC"), std::nullopt, {session("a", 5, 1000), session("b", 10, 2000)}};
    view_.reset();
    model_ = std::make_unique<IslandModel>(std::move(options));
    model().widget().refreshNow();
    view_ = std::make_unique<IslandView>(model());
    view().resize(view().sizeHint());
    EXPECT_TRUE(model().widget().showsSamples());
    EXPECT_EQ(model().widget().tokensToday(), 0);
    EXPECT_EQ(model().widget().activeCount(), 0);
    EXPECT_GT(middleOfBand(), 60) << "the collapsed strip says samples";
    model().setExpanded(true);
    EXPECT_GT(middleOfBand(), 60) << "the header says samples";

    model().widget().toggleSelection("claude:a");
    settle();
    SessionEntry* row = view().sessionPanel().entries()[0];
    int acted = 0;
    RowActionHandlers actions;
    actions.open = [&acted](const SessionSummary&, RowActionHandlers::Done) { ++acted; };
    actions.start = [&acted](Agent, RowActionHandlers::Done) { ++acted; };
    actions.saveMemory = [&acted](RowActionHandlers::Done) { ++acted; };
    row->setActions(actions);
    std::vector<QWidget*> buttons;
    for (auto* pill : row->findChildren<AgentStartPill*>()) buttons.push_back(pill);
    buttons.push_back(row->findChild<SecondaryPill*>());
    buttons.push_back(row->findChild<IconPill*>());
    ASSERT_EQ(buttons.size(), 4u);
    for (QWidget* button : buttons) {
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(row->hint(), SessionActions::sampleOnly());
    }
    EXPECT_EQ(acted, 0);
}

}  // namespace
}  // namespace wren
