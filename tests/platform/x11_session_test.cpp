// The X11 backend against a real X server: Xvfb, with the pointer moved by xte (XTest, which
// produces the raw motion a real mouse does; a warp would not). The backend runs in a child
// process on the xcb platform, since this test binary runs offscreen.

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <memory>
#include <string>

#include "platform/child_process.h"
#include "platform/desktop_session.h"

namespace wren {
namespace {

using testing::Child;

std::string at(const char* what, int x, int y) {
    return std::string(what) + " " + std::to_string(x) + " " + std::to_string(y);
}

class X11Session : public ::testing::Test {
  protected:
    // Starts Xvfb on a display number it picks itself, and waits until it accepts connections.
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xte"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed (packages xvfb and xautomation)";
            }
        }
        server_ = std::make_unique<Child>(
            QStringLiteral("Xvfb"),
            QStringList{"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                        "-noreset"} +
                serverOptions(),
            QProcessEnvironment::systemEnvironment(), Child::Errors::discard);
        const std::optional<std::string> number = server_->line("");
        ASSERT_TRUE(number) << "Xvfb did not start";
        display_ = ":" + *number;
    }

    virtual QStringList serverOptions() const { return {}; }

    QProcessEnvironment environment(int scale = 1) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromStdString(display_));
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("QT_SCALE_FACTOR", QString::number(scale));
        env.remove("WAYLAND_DISPLAY");
        return env;
    }

    static std::unique_ptr<Child> probe(const QProcessEnvironment& env) {
        return std::make_unique<Child>(WREN_PLATFORM_PROBE, QStringList{"session"}, env);
    }

    void xte(const QStringList& commands) const {
        Child tool("xte", commands, environment());
        ASSERT_TRUE(tool.process().waitForFinished(30000));
        ASSERT_EQ(tool.process().exitCode(), 0);
    }
    void moveTo(int x, int y) const { xte({QString::fromStdString(at("mousemove", x, y))}); }
    void click(int x, int y) const {
        xte({QString::fromStdString(at("mousemove", x, y)), "mouseclick 1"});
    }

    std::string display_;
    std::unique_ptr<Child> server_;
};

TEST_F(X11Session, RawMotionSignalsEachMoveAndNothingWhileThePointerRests) {
    EXPECT_TRUE(DesktopSession::canConnectToX(display_.c_str()));

    std::unique_ptr<Child> session = probe(environment());
    EXPECT_EQ(session->line("kind"), "kind rawMotion");
    ASSERT_EQ(session->line("started"), "started 1");

    for (auto [x, y] : {std::pair{300, 200}, std::pair{1000, 700}, std::pair{5, 790}}) {
        moveTo(x, y);
        // Each signal reads the position then; the last one of a burst sees where it ended.
        std::optional<std::string> moved;
        do {
            moved = session->line("moved");
        } while (moved && *moved != at("moved", x, y));
        EXPECT_EQ(moved, at("moved", x, y));
    }

    // At rest: no signal, and the event loop handles nothing at all (a poll would show as
    // timer events).
    session->send("events");
    ASSERT_TRUE(session->line("events"));
    session->forget();
    EXPECT_EQ(session->linesDuring("moved", 1000), std::vector<std::string>{});
    session->send("events");
    EXPECT_EQ(session->line("events"), "events 0");

    // A burst of 200 steps becomes a few signals; the margin is wide for a slow machine.
    QStringList steps;
    for (int i = 1; i <= 200; ++i) steps << QString::fromStdString(at("mousemove", 5 * i, 3 * i));
    xte(steps);
    ASSERT_TRUE(session->line(at("moved", 1000, 600)));
    EXPECT_LT(session->linesDuring("moved", 500).size(), 100u);

    // The same server reached from a Wayland session: no global pointer there.
    QProcessEnvironment xwayland = environment();
    xwayland.insert("WAYLAND_DISPLAY", "wayland-test");
    EXPECT_EQ(probe(xwayland)->line("kind"), "kind none");
}

// XInput 2 cannot be switched off in Xvfb, but the generic events that carry it can.
class X11SessionWithoutXInput2 : public X11Session {
    QStringList serverOptions() const override { return {"-extension", "Generic Event Extension"}; }
};

// Without generic events XTest motion goes nowhere either, so the pointer is warped; a poll,
// unlike raw motion, sees warps too.
TEST_F(X11SessionWithoutXInput2, APollSeesTheMove) {
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) {
        GTEST_SKIP() << "xdotool is not installed";
    }
    std::unique_ptr<Child> session = probe(environment());
    EXPECT_EQ(session->line("kind"), "kind polling");
    ASSERT_EQ(session->line("started"), "started 1");
    Child warp("xdotool", {"mousemove", "100", "60"}, environment());
    ASSERT_TRUE(warp.process().waitForFinished(30000));
    EXPECT_EQ(session->line("moved"), "moved 100 60");
}

TEST_F(X11Session, ACompositorIsSeenOnlyWhileOneRuns) {
    if (QStandardPaths::findExecutable("xcompmgr").isEmpty()) {
        GTEST_SKIP() << "xcompmgr is not installed";
    }
    std::unique_ptr<Child> session = probe(environment());
    session->send("compositor");
    EXPECT_EQ(session->line("compositor"), "compositor 0");

    // xcompmgr claims the selection a moment after it starts, and the kernel frees it a moment
    // after it dies: ask until the answer changes.
    auto askUntil = [&](const std::string& answer) {
        QDeadlineTimer deadline(30000);
        std::optional<std::string> last;
        do {
            session->send("compositor");
            last = session->line("compositor");
        } while (last && *last != answer && !deadline.hasExpired());
        return last;
    };
    auto compositor =
        std::make_unique<Child>("xcompmgr", QStringList{}, environment(), Child::Errors::discard);
    EXPECT_EQ(askUntil("compositor 1"), "compositor 1");
    compositor.reset();
    EXPECT_EQ(askUntil("compositor 0"), "compositor 0");
}

// At scale 2 the window's logical (50, 50) 100x50 is (100, 100) 200x100 on the server, and a
// region of logical 25x25 covers 50x50 device pixels from its corner. Each step clicks where
// the window must not take the click, then where it must: the next press it reports has to be
// the second one.
TEST_F(X11Session, TheInputRegionDecidesWhereTheWindowTakesClicks) {
    std::unique_ptr<Child> session = probe(environment(2));
    session->send("window 50 50 100 50");
    ASSERT_EQ(session->line("window"), "window ready");
    auto setRegion = [&](const std::string& region) {
        session->send("region " + region);
        return session->line("region set").has_value();
    };

    ASSERT_TRUE(setRegion("0 0 25 25"));
    click(250, 170);
    click(140, 140);  // inside only if the region was scaled
    EXPECT_EQ(session->line("press"), "press 20 20");

    ASSERT_TRUE(setRegion("empty"));
    click(110, 110);
    ASSERT_TRUE(setRegion("none"));
    click(250, 170);
    EXPECT_EQ(session->line("press"), "press 75 35");
}

}  // namespace
}  // namespace wren
