#include "core/system/program_paths.h"

#include <system_error>

namespace wren::ProgramPaths {
namespace {

// Set by the build from the install folders, e.g. "../libexec" and "../bin".
constexpr const char* kLibexecFromBin = WREN_LIBEXEC_FROM_BIN;
constexpr const char* kBinFromLibexec = WREN_BIN_FROM_LIBEXEC;
constexpr const char* kName = "wrenisland";

bool isProgram(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::filesystem::path libexecFromBin() {
    return kLibexecFromBin;
}

std::filesystem::path binFromLibexec() {
    return kBinFromLibexec;
}

std::filesystem::path island(const std::filesystem::path& command) {
    const std::filesystem::path folder = command.parent_path();
    const std::filesystem::path beside = folder / "libexec" / kName;
    if (isProgram(beside)) return beside;
    return (folder / kLibexecFromBin / kName).lexically_normal();
}

std::filesystem::path command(const std::filesystem::path& island) {
    const std::filesystem::path folder = island.parent_path();
    const std::filesystem::path installed = (folder / kBinFromLibexec / kName).lexically_normal();
    if (installed != island && isProgram(installed)) return installed;
    if (folder.filename() == "libexec") {
        const std::filesystem::path built = folder.parent_path() / kName;
        if (isProgram(built)) return built;
    }
    return island;
}

}  // namespace wren::ProgramPaths
