#pragma once

#include <dirent.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace wren {

struct DirectoryCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

/// An open directory listing, closed on every path.
using Directory = std::unique_ptr<DIR, DirectoryCloser>;

/// Opens `name` under the directory `parent` (AT_FDCWD: the current one) for listing, without
/// blocking. With `follow` false a symlink is never entered, even one that replaced a directory
/// after it was looked at. Null when it cannot be opened or is no directory.
Directory openDirectory(int parent, const char* name, bool follow);

/// A directory's entries, read in batches with getdents64 into a buffer of the listing's own.
/// Unlike opendir, opening costs one system call, not three (opendir also asks for the file's
/// status and flags), which a walk over thousands of session folders feels.
class DirectoryListing {
  public:
    struct Entry {
        const char* name;    // valid until the next call of next()
        unsigned char type;  // DT_DIR, DT_REG, …; DT_UNKNOWN when the file system does not say
    };

    /// Opens like openDirectory; nothing when that fails.
    static std::optional<DirectoryListing> open(int parent, const char* name, bool follow);

    DirectoryListing(DirectoryListing&& other) noexcept;
    DirectoryListing& operator=(DirectoryListing&&) = delete;
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;
    ~DirectoryListing();

    /// The next entry in the file system's order ("." and ".." included); nothing at the end
    /// or after an error.
    std::optional<Entry> next();
    /// The open directory, for looking up its entries (fstatat, openat).
    int fd() const { return fd_; }

  private:
    static constexpr std::size_t kBufferBytes = 32 * 1024;
    explicit DirectoryListing(int fd);

    int fd_;
    std::unique_ptr<char[]> buffer_;
    std::size_t filled_ = 0;
    std::size_t at_ = 0;
    bool ended_ = false;
};

}  // namespace wren
