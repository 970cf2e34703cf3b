#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"

#ifdef WREN_HAVE_GUI
#include <QApplication>

#include "island/render_mode.h"
#endif

namespace {

[[maybe_unused]] bool platformChosen(int argc, char** argv);

// Whether the user chose a Qt platform, in the environment or with -platform on the command line.
bool platformChosen(int argc, char** argv) {
    const char* env = std::getenv("QT_QPA_PLATFORM");
    if (env != nullptr && *env != '\0') return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0 ||
            std::strncmp(argv[i], "-platform=", 10) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
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
#else
    (void)argc;
    (void)argv;
#endif

    std::printf(
        "WrenIsland %s: the desktop window is not built yet. WRENISLAND_DUMP=1 lists the "
        "sessions; WRENISLAND_RENDER=island.png draws the island into a picture.\n",
        WREN_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
