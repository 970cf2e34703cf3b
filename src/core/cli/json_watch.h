#pragma once

#include <cstdio>
#include <filesystem>
#include <vector>

namespace wren::JsonWatch {

/// `wrenisland --watch`: the --json document once at start, then again as a new line each time
/// it changes, for status bars that read a stream (waybar's continuous mode). Blocks in poll()
/// on a watch of the transcript folders: a transcript change reads a new snapshot (the first at
/// once, then at most one every two seconds while an agent keeps writing); local midnight and a
/// session leaving the active count recount the last snapshot without reading. Idle, it wakes
/// for nothing else. Ends with status 0 on SIGINT or SIGTERM (which it takes over) and when
/// `out`'s reader goes away; 1 when `out` cannot be written otherwise. With
/// WRENISLAND_PROFILE=1 each snapshot's timing report goes to standard error.
int run(std::FILE* out, std::FILE* err, const std::vector<std::filesystem::path>& roots);

}  // namespace wren::JsonWatch
