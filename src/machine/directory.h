#pragma once

#include <dirent.h>

#include <memory>

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

}  // namespace wren
