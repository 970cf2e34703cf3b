#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCursor>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QWindow>
#include <fstream>
#include <set>
#include <string>

#include "platform/child_process.h"
#include "platform/desktop_session.h"
#include "platform/pointer_monitor.h"
#include "platform/polling_pointer_monitor.h"
#include "platform/quit_signals.h"
#include "platform/single_instance.h"
#include "scoped_env.h"

namespace wren {
namespace {

using testing::ScopedEnv;

std::string testName(const std::string& what) {
    return "wren-test-" + std::to_string(getpid()) + "-" + what;
}

TEST(SingleInstance, HoldsTheNameUntilItsHolderGoes) {
    const std::string name = testName("one");
    {
        SingleInstance first(name);
        EXPECT_TRUE(first.isFirst());
        SingleInstance second(name);
        EXPECT_FALSE(second.isFirst());
        // A name that only starts the same is another name.
        SingleInstance longer(name + "-longer");
        EXPECT_TRUE(longer.isFirst());
        SingleInstance shorter(name.substr(0, name.size() - 1));
        EXPECT_TRUE(shorter.isFirst());
    }
    SingleInstance again(name);
    EXPECT_TRUE(again.isFirst());
}

TEST(SingleInstance, NamesAreExactAbstractAddressesEvenWhenTooLong) {
    const std::string name = testName("listed");
    SingleInstance holder(name);
    ASSERT_TRUE(holder.isFirst());
    // The kernel shows abstract names with a leading '@' and a NUL as '@': padding or a
    // terminator would show up as trailing '@'s, and a wrong length as a cut name.
    std::ifstream table("/proc/net/unix");
    bool listed = false;
    for (std::string line; std::getline(table, line);) {
        if (line.size() > name.size() + 1 && line.ends_with(" @" + name)) listed = true;
    }
    EXPECT_TRUE(listed);

    const std::string huge = testName(std::string(300, 'x'));
    SingleInstance firstHuge(huge);
    EXPECT_TRUE(firstHuge.isFirst());
    EXPECT_FALSE(SingleInstance(huge).isFirst());

    EXPECT_EQ(SingleInstance::defaultName(), "wrenisland-" + std::to_string(getuid()));
}

TEST(QuitSignals, PendingSignalsBecomeQuitRequestsAndTheProcessLives) {
    sigset_t before;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    {
        QuitSignals::block();
        QuitSignals quit;
        ASSERT_TRUE(quit.isActive());
        QSignalSpy spy(&quit, &QuitSignals::quitRequested);
        // Directed at this thread: other threads of the test binary never blocked them.
        raise(SIGTERM);
        raise(SIGINT);
        while (spy.count() < 2 && spy.wait(10000)) {
        }
        std::set<int> seen;
        for (const QList<QVariant>& args : spy) seen.insert(args.at(0).toInt());
        EXPECT_EQ(seen, (std::set<int>{SIGTERM, SIGINT}));
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

// The way the island meets them: blocked first thing in main, sent to the whole process.
TEST(QuitSignals, AProcessExitsCleanlyOnEitherSignal) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        testing::Child probe(QStringLiteral(WREN_PLATFORM_PROBE), {QStringLiteral("quit")}, env);
        ASSERT_TRUE(probe.line("ready"));
        ::kill(static_cast<pid_t>(probe.process().processId()), signal);
        EXPECT_EQ(probe.line("quit"), "quit " + std::to_string(signal));
        ASSERT_TRUE(probe.process().waitForFinished(30000));
        EXPECT_EQ(probe.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(probe.process().exitCode(), 0);
    }
}

TEST(DesktopSession, CanConnectToXOnlyWhereAServerAnswers) {
    EXPECT_FALSE(DesktopSession::canConnectToX(":4711"));
    EXPECT_FALSE(DesktopSession::canConnectToX("not a display"));
    ScopedEnv noDisplay("DISPLAY", std::nullopt);
    EXPECT_FALSE(DesktopSession::canConnectToX());
    ScopedEnv emptyDisplay("DISPLAY", "");
    EXPECT_FALSE(DesktopSession::canConnectToX());
}

TEST(DesktopSession, OffX11ThereIsNoPointerMonitorAndNothingToShape) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        GTEST_SKIP() << "runs on the offscreen platform";
    }
    // Native Wayland or offscreen: a Wayland socket alone does not make it XWayland.
    ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_FALSE(DesktopSession::isXWayland());
    EXPECT_FALSE(DesktopSession::hasCompositor());

    std::unique_ptr<PointerMonitor> monitor = PointerMonitor::create();
    EXPECT_EQ(monitor->kind(), PointerMonitor::Kind::none);
    EXPECT_TRUE(monitor->start());

    // Off X11 the window is left as it was: not created, not masked, not made click-through.
    QWindow window;
    window.resize(100, 50);
    const Qt::WindowFlags flags = window.flags();
    DesktopSession::setInputRegion(&window, QRegion(0, 0, 10, 10));
    DesktopSession::setInputRegion(&window, QRegion());
    DesktopSession::setInputRegion(&window, std::nullopt);
    DesktopSession::setInputRegion(nullptr, std::nullopt);
    EXPECT_EQ(window.handle(), nullptr);
    EXPECT_TRUE(window.mask().isEmpty());
    EXPECT_EQ(window.flags(), flags);
}

TEST(PollingPointerMonitor, SignalsWhenThePointerMovedAndOnlyThen) {
    PollingPointerMonitor monitor;
    EXPECT_EQ(monitor.kind(), PointerMonitor::Kind::polling);
    QSignalSpy moved(&monitor, &PointerMonitor::moved);
    QCursor::setPos(10, 10);
    ASSERT_TRUE(monitor.start());
    EXPECT_FALSE(moved.wait(500));  // the position at start is not a move

    QCursor::setPos(40, 30);
    ASSERT_TRUE(moved.wait(10000));
    EXPECT_FALSE(moved.wait(500));
    EXPECT_EQ(moved.count(), 1);
}

}  // namespace
}  // namespace wren
