// The `wrenisland` command. Our options, the dump and the JSON snapshot run here, in a program
// that does not load the toolkit; the island runs in the toolkit program installed beside it
// (libexec/wrenisland as built), which this process becomes, keeping its id and its name, with the
// toolkit's part of the command line.

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/cli/command_line.h"
#include "core/cli/printed_text.h"
#include "core/system/program_paths.h"

namespace {

// The toolkit program (see ProgramPaths::island); empty when this program's own place cannot be
// learnt.
std::filesystem::path islandProgram() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    self[length] = '\0';
    return wren::ProgramPaths::island(self);
}

}  // namespace

int main(int argc, char** argv) {
    wren::CommandLine::Parsed options = wren::CommandLine::parse(argc, argv);
    if (const auto status = wren::CommandLine::runWithoutDisplay(
            options, std::getenv("WRENISLAND_DUMP"), stdout, stderr)) {
        return *status;
    }
    const std::filesystem::path island = islandProgram();
    if (!island.empty()) ::execv(island.c_str(), options.remaining.data());
    const int error = errno;
    std::fprintf(stderr, "wrenisland: cannot start the island (%s): %s\n",
                 wren::PrintedText::forTerminal(island.native()).c_str(), std::strerror(error));
    return 1;
}
