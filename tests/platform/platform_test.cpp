#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCursor>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/child_process.h"
#include "platform/desktop_session.h"
#include "platform/pointer_monitor.h"
#include "platform/polling_pointer_monitor.h"
#include "platform/quit_signals.h"
#include "platform/single_instance.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace wren {
namespace {

using testing::ScopedEnv;

TEST(SingleInstance, OneIslandPerDisplayWhateverTheDisplayIsCalled) {
    const std::vector<std::pair<std::pair<const char*, const char*>, std::string>> keys = {
        {{":0", nullptr}, "x11-0"},
        {{":0.1", "wayland-0"}, "x11-0"},
        {{"unix:0", nullptr}, "x11-0"},
        {{"localhost:0.0", nullptr}, "x11-0"},
        {{":12", nullptr}, "x11-12"},
        {{"remote.example:3.0", nullptr}, "x11-remote.example-3"},
        {{"/tmp/../odd:x", nullptr}, "x11-_tmp_.._odd_x"},
        {{"", "wayland-1"}, "wayland-wayland-1"},
        {{nullptr, "../w"}, "wayland-.._w"},
        {{nullptr, nullptr}, "none"},
    };
    for (const auto& [displays, key] : keys) {
        EXPECT_EQ(SingleInstance::keyFor(displays.first, displays.second), key)
            << (displays.first ? displays.first : "null");
    }

    testing::TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    {
        SingleInstance first("x11-0", runtime.path().c_str());
        EXPECT_TRUE(first.isFirst());
        EXPECT_EQ(first.lockFile().parent_path(), runtime.path());
        EXPECT_FALSE(SingleInstance("x11-0", runtime.path().c_str()).isFirst());
        EXPECT_TRUE(SingleInstance("x11-1", runtime.path().c_str()).isFirst());
    }
    EXPECT_TRUE(SingleInstance("x11-0", runtime.path().c_str()).isFirst());

    // A runtime folder others may write into, or none, is not used; the private fallback is.
    testing::TempDir open;
    ::chmod(open.path().c_str(), 0777);
    for (const char* dir : {open.path().c_str(), static_cast<const char*>(nullptr), "relative"}) {
        SingleInstance fallback("wren-test-" + std::to_string(getpid()), dir);
        EXPECT_TRUE(fallback.isFirst());
        EXPECT_EQ(fallback.lockFile().parent_path(), "/tmp/wrenisland-" + std::to_string(getuid()));
        EXPECT_FALSE(SingleInstance("wren-test-" + std::to_string(getpid()), dir).isFirst());
        std::filesystem::remove(fallback.lockFile());
    }

    // Another user's folder is never used, even when it looks private.
    if (::geteuid() == 0) {
        testing::TempDir foreign;
        ::chmod(foreign.path().c_str(), 0700);
        ASSERT_EQ(::chown(foreign.path().c_str(), 65534, 65534), 0);
        const SingleInstance elsewhere("wren-test-" + std::to_string(getpid()),
                                       foreign.path().c_str());
        EXPECT_NE(elsewhere.lockFile().parent_path(), foreign.path());
        std::filesystem::remove(elsewhere.lockFile());
    }

    // Something else where the lock file belongs: no hang, and the island still starts.
    ASSERT_EQ(::mkfifo((runtime / "wrenisland-x11-fifo.lock").c_str(), 0600), 0);
    EXPECT_TRUE(SingleInstance("x11-fifo", runtime.path().c_str()).isFirst());
}

// A killed island leaves its file behind, and the next one starts all the same.
TEST(SingleInstance, AnIslandThatDiedBlocksNothing) {
    testing::TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    testing::Child holder(QStringLiteral(WREN_PLATFORM_PROBE),
                          {QStringLiteral("instance"), QStringLiteral("x11-7"),
                           QString::fromStdString(runtime.path().string())},
                          env);
    ASSERT_EQ(holder.line("first"), "first 1");
    EXPECT_FALSE(SingleInstance("x11-7", runtime.path().c_str()).isFirst());
    ::kill(static_cast<pid_t>(holder.process().processId()), SIGKILL);
    ASSERT_TRUE(holder.process().waitForFinished(30000));
    EXPECT_TRUE(std::filesystem::exists(runtime / "wrenisland-x11-7.lock"));
    EXPECT_TRUE(SingleInstance("x11-7", runtime.path().c_str()).isFirst());
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
