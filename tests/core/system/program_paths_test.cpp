#include "core/system/program_paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"

namespace wren {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

fs::path program(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n";
    return path;
}

TEST(ProgramPaths, EachProgramFindsTheOtherInstalledOrBuilt) {
    TempDir root;
    // A bin folder as the install names it, deep enough for any path between the two folders.
    const fs::path bin =
        (root / "usr/a/b/c" / ProgramPaths::libexecFromBin() / ProgramPaths::binFromLibexec())
            .lexically_normal();
    const fs::path command = program(bin / "wrenisland");
    const fs::path island =
        program((bin / ProgramPaths::libexecFromBin() / "wrenisland").lexically_normal());
    EXPECT_EQ(ProgramPaths::island(command), island);
    EXPECT_EQ(ProgramPaths::command(island), command);

    const fs::path built = program(root / "build/src/wrenisland");
    const fs::path builtIsland = program(root / "build/src/libexec/wrenisland");
    EXPECT_EQ(ProgramPaths::island(built), builtIsland);
    EXPECT_EQ(ProgramPaths::command(builtIsland), built);

    // A toolkit program on its own names itself; a lone command names where the install puts it.
    const fs::path alone = program(root / "opt/x/wrenisland");
    EXPECT_EQ(ProgramPaths::command(alone), alone);
    EXPECT_EQ(
        ProgramPaths::island(alone),
        (alone.parent_path() / ProgramPaths::libexecFromBin() / "wrenisland").lexically_normal());
}

}  // namespace
}  // namespace wren
