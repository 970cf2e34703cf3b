#include "views/session_detail.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <cmath>
#include <limits>

#include "views/context_views.h"
#include "views/island_fixture.h"
#include "views/session_entry.h"

namespace wren {
namespace {

using testing::session;

TEST(CompositionBar, SharesOfTheTotalWithAVisibleMinimumAndNoRenormalising) {
    auto seg = [](std::int64_t tokens) {
        return ContextSegment{"useful", "Useful", tokens, ContextSegment::usefulColor};
    };
    struct Case {
        std::vector<std::int64_t> tokens;
        std::int64_t total;
        double width;
        std::vector<double> expected;
    };
    const Case cases[] = {
        {{100, 1, 0}, 101, 200, {100 * 196.0 / 101, 3, 3}},  // about 204 wide in all
        {{50, 50}, 100, 102, {50, 50}},
        {{10, 10}, 0, 200, {0, 0}},    // nothing to share: only the gaps remain
        {{10}, 5, 100, {200}},         // segments beyond the total overflow the bar
        {{1, 1, 1}, 3, 2, {3, 3, 3}},  // narrower than its gaps
    };
    for (const Case& c : cases) {
        std::vector<ContextSegment> segments;
        for (std::int64_t t : c.tokens) segments.push_back(seg(t));
        const std::vector<double> widths = compositionWidths(segments, c.total, c.width, 2);
        ASSERT_EQ(widths.size(), c.expected.size());
        for (std::size_t i = 0; i < widths.size(); ++i) {
            EXPECT_NEAR(widths[i], c.expected[i], 1e-9) << c.width << " #" << i;
        }
    }
}

// Items 85, 105, 90 and 70 wide at the loosest spacing (gaps 11), 2 less each at the next
// (gaps 8), 4 less at the tightest (gaps 6): all four need 383, 366 and 352.
TEST(Legend, TightensBeforeItDropsWholeItemsFromTheEnd) {
    const std::vector<double> labels = {40, 60, 45, 25}, counts = {30, 30, 30, 30};
    const struct {
        double width;
        std::size_t shown;
        double itemGap;
    } cases[] = {
        {400, 4, 11}, {383, 4, 11}, {382, 4, 8}, {366, 4, 8}, {352, 4, 6},
        {351, 3, 6},  {280, 3, 6},  {279, 2, 6}, {80, 0, 6},  {-5, 0, 6},
    };
    for (const auto& c : cases) {
        const LegendFit fit = fitLegend(labels, counts, c.width);
        EXPECT_EQ(fit.shown, c.shown) << c.width;
        EXPECT_EQ(fit.itemGap, c.itemGap) << c.width;
    }
    EXPECT_EQ(fitLegend({}, {}, 0).shown, 0u);
}

TEST(Quota, WhatIsLeftIsShownRoundedAndTinted) {
    const QColor red = QColor::fromRgbF(0.94f, 0.48f, 0.44f);
    const QColor amber = QColor::fromRgbF(0.94f, 0.76f, 0.40f);
    const QColor neutral = QColor::fromRgbF(0.98f, 0.97f, 0.94f, 0.45f);
    struct Case {
        double used;  // the record's percentage
        std::int64_t shown;
        QColor tint;
    };
    const Case cases[] = {
        {90.6, 9, red}, {90.5, 10, amber},   {70.5, 30, neutral}, {71, 29, amber},
        {104, 0, red},  {-30, 100, neutral}, {0, 100, neutral},   {100, 0, red},
    };
    for (const Case& c : cases) {
        const std::optional<double> left = Quota::remaining(RateWindow{c.used, 300, {}});
        ASSERT_TRUE(left) << c.used;
        EXPECT_EQ(Quota::shownPercent(*left), c.shown) << c.used;
        EXPECT_EQ(Quota::tint(left), c.tint) << c.used;
    }
    // No window, or one that cannot be shown honestly: no number, and the neutral tint.
    for (double used : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300}) {
        EXPECT_FALSE(Quota::remaining(RateWindow{used, 300, {}})) << used;
    }
    EXPECT_FALSE(Quota::remaining(std::nullopt));
    EXPECT_EQ(Quota::tint(std::nullopt), neutral);
}

// The brightest red in `box` of a rendered part, over black.
int brightest(const QImage& image, const QRect& box) {
    int best = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            best = std::max(best, qRed(image.pixel(x, y)));
    }
    return best;
}

class SessionRowTest : public testing::IslandTest {
  protected:
    QImage rowPicture(SessionEntry& entry) {
        QImage image(entry.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        entry.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

TEST_F(SessionRowTest, MissingValuesAreShownFaintly) {
    SessionSummary working = session("w", 3, 0, std::nullopt);
    working.segments.clear();
    SessionSummary talking = session("t", 3, 5000, "x");  // a one-letter message
    for (const SessionSummary& s : {working, talking}) {
        SessionEntry entry;
        entry.setSession(s, {}, {});
        entry.resize(456, 24);
        const QImage image = rowPicture(entry);
        // The message column starts after the time (34), the icon (14) and two gaps of 9.
        const int message = brightest(image, QRect(6 + 66, 4, 40, 16));
        const int tokens = brightest(image, QRect(456 - 6 - 48 - 44, 4, 44, 16));
        if (!s.lastUserMessage) {
            // "working…" at half of 0.72, and "—" at 0.25.
            EXPECT_NEAR(message, 0.98 * 0.36 * 255, 8);
            EXPECT_GT(tokens, 20);  // a thin dash: never a full-coverage pixel
            EXPECT_LE(tokens, 0.98 * 0.25 * 255 + 2);
        } else {
            EXPECT_NEAR(message, 0.98 * 0.72 * 255, 8);
            EXPECT_NEAR(tokens, 0.98 * 0.42 * 255, 8);
        }
    }
}

TEST_F(SessionRowTest, AHintAppearsBesideTheReopenButtonWithItsLink) {
    MachineSnapshot machine;
    machine.installs.agents = {Agent::claude};
    show({session("a", 5, 1000), session("b", 10, 2000)}, machine);
    model().setExpanded(true);
    model().widget().toggleSelection("claude:a");
    settle();
    SessionEntry* row = view().sessionPanel().entries()[0];

    QString opened;
    RowActionHandlers actions;
    actions.start = [](Agent agent, RowActionHandlers::Done done) {
        done(SessionActions::start(agent, agent == Agent::claude));
    };
    actions.openLink = [&opened](const QString& url) { opened = url; };
    row->setActions(actions);
    auto* codex = row->findChildren<AgentStartPill*>().at(1);
    ASSERT_NE(codex, nullptr);
    QTest::mouseClick(codex, Qt::LeftButton);
    settle();
    ASSERT_TRUE(row->hint());
    EXPECT_EQ(row->hint()->text, "Codex not detected");

    auto* line = row->findChild<HintLine*>();
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isVisibleTo(row));
    EXPECT_EQ(line->paintOpacity(), 1);
    const QImage image = picture();
    // The link's teal shows right of the text.
    const QRect box(line->mapTo(&view(), QPoint(0, 0)), line->size());
    bool teal = false;
    for (int x = box.left(); x <= box.right() && !teal; ++x) {
        for (int y = box.top(); y <= box.bottom() && !teal; ++y) {
            const QColor c = image.pixelColor(x, y);
            teal = c.green() > 100 && c.red() < 0.5 * c.green();
        }
    }
    EXPECT_TRUE(teal);
    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(line->width() - 3, line->height() / 2));
    EXPECT_EQ(opened.toStdString(), SessionActions::downloadURL(Agent::codex));

    // Starting an installed agent clears the hint again.
    QTest::mouseClick(row->findChildren<AgentStartPill*>().at(0), Qt::LeftButton);
    EXPECT_FALSE(row->hint());
}

}  // namespace
}  // namespace wren
