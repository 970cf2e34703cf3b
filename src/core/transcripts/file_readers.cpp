// Both readers over a file on disk: the file is opened once for every window a reader takes of
// it, and its name goes along, since it may carry the session id.

#include "core/transcripts/regular_file.h"
#include "core/transcripts/transcript_readers.h"

namespace wren::SessionDiscovery {
namespace {

using SourceReader = std::optional<SessionSummary> (*)(const ByteSource&, std::string_view);

std::optional<SessionSummary> readFile(const std::filesystem::path& path, SourceReader read) {
    const auto opened = RegularFile::open(path);
    if (!opened) return std::nullopt;
    return read(*opened, path.filename().native());
}

}  // namespace

std::optional<SessionSummary> readClaude(const std::filesystem::path& file) {
    return readFile(file, readClaude);
}

std::optional<SessionSummary> readCodex(const std::filesystem::path& file) {
    return readFile(file, readCodex);
}

}  // namespace wren::SessionDiscovery
