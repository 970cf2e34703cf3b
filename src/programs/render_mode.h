#pragma once

#include <optional>
#include <string>

namespace wren::RenderMode {

/// The picture to write when WRENISLAND_RENDER names one (set and not empty).
std::optional<std::string> requested(const char* value);

/// Loads the sessions once as start-up does, lays the island out in its window as the desktop
/// would show it, settled (nothing in flight), and writes it to `path` as a PNG with alpha at
/// scale 1. Opened as start-up would with WRENISLAND_FORCE_OPEN, and with a session selected by
/// WRENISLAND_FORCE_SELECT. Needs a QApplication. Returns the process's exit status; a picture
/// that cannot be written is one line on stderr and status 1.
int run(const std::string& path);

/// Writes `bytes` to `path`, which must be (or become) a regular file: never blocks on a FIFO
/// and never writes into a device. False, with the reason in `error`, when it cannot.
bool writeFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace wren::RenderMode
