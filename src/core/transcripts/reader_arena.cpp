#include "core/transcripts/reader_arena.h"

namespace wren {

ReaderArena& ReaderArena::local() {
    thread_local ReaderArena arena;
    return arena;
}

void ReaderArena::release() {
    recent.release();
    older.release();
    parser = json::LineParser();
    skimmer = simdjson::ondemand::parser();
}

}  // namespace wren
