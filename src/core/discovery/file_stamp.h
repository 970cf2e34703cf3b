#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace wren {

/// What identifies one version of a file's content without reading it: any write moves the
/// change time, which no one can set back, so equal stamps mean the bytes read before still hold.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;

    static FileStamp of(const struct stat& status) {
        const auto ns = [](const timespec& t) {
            return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
        };
        return {status.st_dev, status.st_ino, status.st_size, ns(status.st_mtim),
                ns(status.st_ctim)};
    }
    /// The stamp of the regular file at `path` (links followed), or nothing.
    static std::optional<FileStamp> ofPath(const std::filesystem::path& path) {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
        return of(status);
    }
};

}  // namespace wren
