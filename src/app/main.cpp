#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/dump.h"

int main() {
    // Decided before any toolkit exists, so the dump needs no display.
    if (wren::Dump::requested(std::getenv("WRENISLAND_DUMP"))) {
        // A reader that went away is a failed write, reported by the exit status, not a signal.
        std::signal(SIGPIPE, SIG_IGN);
        return wren::Dump::run(stdout);
    }

    std::printf(
        "WrenIsland %s: the island is not built yet; run with WRENISLAND_DUMP=1 to list "
        "sessions\n",
        WREN_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
