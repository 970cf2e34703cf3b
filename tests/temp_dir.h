#pragma once

#include <sys/stat.h>
#include <sys/time.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace wren::testing {

/// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "wren-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    /// Writes `bytes` to `name` (creating parent folders) and returns its path.
    std::filesystem::path write(std::string_view name, std::string_view bytes) const {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    std::filesystem::path path_;
};

/// Sets a file's modification (and access) time to `unixSeconds`.
inline void setModified(const std::filesystem::path& file, double unixSeconds) {
    struct timeval times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(unixSeconds);
    times[0].tv_usec = times[1].tv_usec = 0;
    ::lutimes(file.c_str(), times);
}

}  // namespace wren::testing
