#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string_view>

#include "core/cli/command_line.h"

#ifdef WREN_HAVE_GUI
#include <QApplication>

#include "desktop/island_app.h"
#include "programs/render_mode.h"
#include "core/system/clean_launch.h"
#include "platform/desktop_session.h"
#include "platform/quit_signals.h"
#include "platform/single_instance.h"
#endif

namespace {

#ifdef WREN_HAVE_GUI
// The value of the toolkit option `name` ("-name value" or "--name value", the forms Qt reads),
// or null when it is not given.
const char* toolkitValue(int argc, char** argv, std::string_view name) {
    for (int i = 1; i + 1 < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.starts_with("--")) argument.remove_prefix(1);
        if (argument.starts_with('-') && argument.substr(1) == name) return argv[i + 1];
    }
    return nullptr;
}

// Whether the user chose a Qt platform, in the environment or with -platform on the command line.
bool platformChosen(int argc, char** argv) {
    const char* env = std::getenv("QT_QPA_PLATFORM");
    if (env != nullptr && *env != '\0') return true;
    return toolkitValue(argc, argv, "platform") != nullptr;
}

int runIsland(int argc, char** argv, std::chrono::steady_clock::time_point processStart) {
    if (!platformChosen(argc, argv)) {
        // Qt 6.4 on Wayland can neither keep a window above panels nor let clicks through it,
        // so the island goes through XWayland there.
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        // Only for the island: the programs it starts get the user's value back.
        if (wayland != nullptr && *wayland != '\0') {
            wren::CleanLaunch::setForIsland("QT_QPA_PLATFORM", "xcb");
        }
        if (!wren::DesktopSession::canConnectToX(toolkitValue(argc, argv, "display"))) {
            std::fprintf(stderr,
                         "wrenisland: no display to show the island on (DISPLAY or -display is "
                         "unset or does not answer); WRENISLAND_DUMP=1 lists the sessions and "
                         "WRENISLAND_RENDER=island.png draws the island into a picture\n");
            return 1;
        }
    }

    const wren::SingleInstance instance(
        wren::SingleInstance::keyFor(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY")),
        std::getenv("XDG_RUNTIME_DIR"));
    if (!instance.isFirst()) {
        std::fprintf(stderr, "wrenisland: already running for this user on this display\n");
        return 0;
    }

    wren::QuitSignals::block();  // before the toolkit or the first read start their threads
    // The first snapshot is read while the toolkit starts: the island's first frame then waits
    // for the slower of the two, not for both.
    auto firstRead = std::async(std::launch::async, [] { return wren::MachineSnapshot::read(); });
    QApplication::setApplicationName(QStringLiteral("wrenisland"));
    QApplication::setApplicationDisplayName(QStringLiteral("WrenIsland"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication app(argc, argv);
    wren::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &wren::QuitSignals::quitRequested, &app,
                     [] { QCoreApplication::quit(); });

    wren::IslandApp island(processStart);
    island.start(std::move(firstRead));
    return app.exec();
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const auto processStart = std::chrono::steady_clock::now();
    // Our options, and WRENISLAND_DUMP, are dealt with before any toolkit exists, so none of
    // them needs a display; what is left of the command line is the toolkit's.
    wren::CommandLine::Parsed options = wren::CommandLine::parse(argc, argv);
    if (const auto status = wren::CommandLine::runWithoutDisplay(
            options, std::getenv("WRENISLAND_DUMP"), stdout, stderr)) {
        return *status;
    }
    argc = options.remainingCount();
    argv = options.remaining.data();

#ifdef WREN_HAVE_GUI
    if (const auto picture = wren::RenderMode::requested(std::getenv("WRENISLAND_RENDER"))) {
        // A picture needs no display server.
        if (!platformChosen(argc, argv)) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        return wren::RenderMode::run(*picture);
    }
    return runIsland(argc, argv, processStart);
#else
    (void)processStart;
    (void)argc;
    (void)argv;
    std::printf("WrenIsland %s was built without its window; WRENISLAND_DUMP=1 lists sessions\n",
                WREN_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
#endif
}
