#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wren {

/// Keeps a second island of the same user on the same display from starting, while islands on
/// other displays (another X session, a VNC display) run side by side. The holder keeps an
/// exclusive lock on a file named after the display in the user's private runtime folder: the
/// kernel drops the lock however the process ends, so the file a crashed island leaves blocks
/// nothing, and no other user can create or lock files in that folder.
class SingleInstance {
  public:
    /// Tries to take the lock for `displayKey` (see keyFor) in `runtimeDir` ($XDG_RUNTIME_DIR)
    /// when that is an absolute folder of this user that nobody else may write, else in
    /// /tmp/wrenisland-<uid> (made private when missing, used only when it is this user's and
    /// private). Where neither can be used the island runs unguarded rather than not at all.
    SingleInstance(std::string_view displayKey, const char* runtimeDir);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// False only when another process holds the lock for this display.
    bool isFirst() const { return first_; }
    /// The lock file used; empty when unguarded.
    const std::filesystem::path& lockFile() const { return file_; }

    /// A file-name-safe key for the display the island shows on: the X display from $DISPLAY
    /// without its screen number and with a local host written the same way (":0", ":0.0",
    /// "unix:0" are one display), else the Wayland display; "none" without either.
    static std::string keyFor(const char* x11Display, const char* waylandDisplay);

  private:
    int fd_ = -1;
    bool first_ = true;
    std::filesystem::path file_;
};

}  // namespace wren
