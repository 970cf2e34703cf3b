#pragma once

#include "core/transcripts/json_line.h"
#include "core/transcripts/transcript_window.h"

namespace wren {

/// The scratch memory of the transcript readers: one buffer per window they read and the JSON
/// parser, kept from one file to the next so that, once each has grown to the largest window
/// met, reading a file allocates no window and no parser memory. Fresh buffers for every file
/// would cost page faults on every read (the kernel zeroes and maps each new page), which is
/// most of what the readers cost above their I/O.
///
/// Ownership, kept simple on purpose:
/// - every thread has its own arena (local()); nothing in it is shared, so no lock is needed;
/// - a reader borrows the arena for the length of one call and returns nothing that points into
///   it: every text a summary keeps is copied out first;
/// - whoever owns the thread may release() the memory between calls (discovery does so when it
///   is done, so an idle program keeps no megabytes of scratch).
struct ReaderArena {
    PaddedBuffer recent;  // the last 512 KiB; before them, the Codex session header (96 KiB)
    PaddedBuffer older;   // the 3.5 MiB before them, only when no user message was found
    json::LineParser parser;
    /// A lazy parser that looks at a few members of a line without building all of it, to turn
    /// down long lines (tool output) that cannot hold what a scan looks for.
    simdjson::ondemand::parser skimmer;

    /// This thread's arena, created on first use and destroyed with the thread.
    static ReaderArena& local();

    /// Gives back every buffer and the parser's memory.
    void release();
};

}  // namespace wren
