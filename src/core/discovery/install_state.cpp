#include "core/discovery/install_state.h"

#include <simdjson.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/discovery/file_stamp.h"
#include "core/discovery/home_directory.h"
#include "core/discovery/profile.h"
#include "core/transcripts/json_line.h"
#include "core/transcripts/regular_file.h"

namespace wren {
namespace {

constexpr const char* kForceMissingVariable = "WRENISLAND_FORCE_MISSING";
constexpr std::string_view kCompanionName = "wrenmem";

// Where each agent's desktop app or command-line tool lands; probed in this order.
constexpr std::array<std::string_view, 6> kClaudeMarkers{
    "/Applications/Claude.app", "~/Applications/Claude.app", "~/.claude",
    "/usr/local/bin/claude",    "/opt/homebrew/bin/claude",  "~/.local/bin/claude",
};
constexpr std::array<std::string_view, 6> kCodexMarkers{
    "/Applications/ChatGPT.app", "~/Applications/ChatGPT.app", "~/.codex",
    "/usr/local/bin/codex",      "/opt/homebrew/bin/codex",    "~/.local/bin/codex",
};

constexpr std::string_view kCompanionPresence = "~/.wrenmem";
constexpr std::array<std::string_view, 2> kRegistrationFiles{"~/.claude.json",
                                                             "~/.codex/config.toml"};

// The registration files are read whole to validate them as text; one this large or larger
// counts as unreadable rather than costing every refresh an unbounded read.
constexpr std::uint64_t kRegistrationCap = 64u << 20;
constexpr std::size_t kChunk = 1u << 20;

std::optional<std::string_view> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string_view(value);
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// Follows symbolic links, so a dangling one is nothing; a path that cannot be examined is
// nothing too.
bool exists(const std::optional<std::filesystem::path>& path) {
    struct stat info {};
    return path && ::stat(path->c_str(), &info) == 0;
}

// How many bytes at the end of `data` start a UTF-8 sequence that continues past it (0–3).
std::size_t incompleteTail(const char* data, std::size_t size) {
    for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(data[size - back]);
        if ((byte & 0xC0) == 0x80) continue;  // continuation byte: keep looking for the lead
        std::size_t length = 1;
        if ((byte & 0xE0) == 0xC0)
            length = 2;
        else if ((byte & 0xF0) == 0xE0)
            length = 3;
        else if ((byte & 0xF8) == 0xF0)
            length = 4;
        return length > back ? back : 0;
    }
    return 0;  // no lead byte: the validator rejects it
}

}  // namespace

const InstallPaths& InstallPaths::process() {
    static const InstallPaths paths{userHome(), {}};
    return paths;
}

std::optional<std::filesystem::path> InstallPaths::resolve(std::string_view marker) const {
    if (marker.starts_with("~/")) {
        if (home.empty()) return std::nullopt;
        return home / marker.substr(2);
    }
    if (root.empty() || !marker.starts_with('/')) return std::filesystem::path(marker);
    return root / marker.substr(1);
}

namespace AgentAvailability {

std::set<std::string> parseForcedMissing(std::string_view value) {
    std::set<std::string> tokens;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(',', start);
        if (end == std::string_view::npos) end = value.size();
        std::string_view segment = value.substr(start, end - start);
        if (!segment.empty()) {
            // Blanks only: a line break is part of the token.
            const std::size_t first = segment.find_first_not_of(" \t");
            segment = first == std::string_view::npos
                          ? std::string_view()
                          : segment.substr(first, segment.find_last_not_of(" \t") - first + 1);
            tokens.insert(lowerAscii(segment));
        }
        start = end + 1;
    }
    return tokens;
}

const std::set<std::string>& forcedMissing() {
    static const std::set<std::string> tokens =
        parseForcedMissing(environmentValue(kForceMissingVariable).value_or(""));
    return tokens;
}

bool isInstalled(Agent agent, const std::set<std::string>& forced, const InstallPaths& paths) {
    if (forced.contains(lowerAscii(rawValue(agent)))) return false;
    const auto& markers = agent == Agent::claude ? kClaudeMarkers : kCodexMarkers;
    for (const std::string_view marker : markers) {
        if (exists(paths.resolve(marker))) return true;
    }
    return false;
}

bool isInstalled(Agent agent) {
    return isInstalled(agent, forcedMissing(), InstallPaths::process());
}

}  // namespace AgentAvailability

namespace WrenMemPresence {

std::string_view learnMoreURL() {
    return "https://wrenmem.dev/#install-dock";
}

namespace {

bool scanMentions(const std::filesystem::path& path, std::string_view text) {
    const auto file = RegularFile::open(path);
    if (!file || text.empty()) return false;
    // A chunk holds up to three bytes of a character cut by the previous read, then new bytes.
    std::vector<char> buffer(3 + kChunk);
    std::size_t carried = 0;
    std::string seam;  // the stream's last text.size() − 1 bytes, for matches across chunks
    std::uint64_t offset = 0;
    bool found = false;
    const std::size_t overlap = text.size() - 1;
    while (true) {
        const std::size_t got = file->readAt(offset, buffer.data() + carried, kChunk);
        offset += got;
        const std::string_view fresh(buffer.data() + carried, got);
        if (!found) {
            std::string joint = seam;
            joint.append(fresh.substr(0, overlap));
            found = json::contains(joint, text) || json::contains(fresh, text);
            seam.append(fresh.substr(fresh.size() - std::min(fresh.size(), overlap)));
            seam.erase(0, seam.size() - std::min(seam.size(), overlap));
        }
        const bool atEnd = got < kChunk;
        const std::size_t total = carried + got;
        const std::size_t whole = atEnd ? total : total - incompleteTail(buffer.data(), total);
        if (!simdjson::validate_utf8(buffer.data(), whole)) return false;
        if (atEnd) return found;
        if (offset >= kRegistrationCap) return false;
        carried = total - whole;
        std::memmove(buffer.data(), buffer.data() + whole, carried);
    }
}

}  // namespace

bool fileMentions(const std::filesystem::path& path, std::string_view text) {
    // ~/.claude.json holds the user's project history and can be megabytes; the island now
    // reads a snapshot every few seconds while an agent writes, so an unchanged file is not
    // scanned again.
    struct Entry {
        FileStamp stamp;
        bool found = false;
    };
    static std::mutex lock;
    static std::map<std::pair<std::string, std::string>, Entry> memo;
    const std::optional<FileStamp> stamp = FileStamp::ofPath(path);
    if (!stamp) return scanMentions(path, text);
    const std::pair<std::string, std::string> key{path.native(), std::string(text)};
    {
        const std::lock_guard hold(lock);
        const auto found = memo.find(key);
        if (found != memo.end() && found->second.stamp == *stamp) return found->second.found;
    }
    // Stamped before the scan: a write during it changes the stamp and is scanned next time.
    const bool found = scanMentions(path, text);
    const std::lock_guard hold(lock);
    memo.insert_or_assign(key, Entry{*stamp, found});
    return found;
}

bool registeredAsMCPServer(const InstallPaths& paths) {
    for (const std::string_view marker : kRegistrationFiles) {
        const auto file = paths.resolve(marker);
        if (file && fileMentions(*file, kCompanionName)) return true;
    }
    return false;
}

bool isInstalled(const InstallPaths& paths, std::optional<std::string_view> forceMissing) {
    // The whole value, unsplit: the name inside a longer word still counts.
    if (forceMissing && lowerAscii(*forceMissing).find(kCompanionName) != std::string::npos) {
        return false;
    }
    if (exists(paths.resolve(kCompanionPresence))) return true;
    return registeredAsMCPServer(paths);
}

bool isInstalled() {
    // Read at every call, unlike the agents' set, so a demonstration can switch it live.
    return isInstalled(InstallPaths::process(), environmentValue(kForceMissingVariable));
}

}  // namespace WrenMemPresence

namespace {

InstallState probeWith(const std::set<std::string>& forced, const InstallPaths& paths,
                       std::optional<std::string_view> forceMissing) {
    return Profile::measure("installProbe", [&] {
        InstallState state;
        for (const Agent agent : kAllAgents) {
            if (AgentAvailability::isInstalled(agent, forced, paths)) state.agents.insert(agent);
        }
        state.wrenMem = WrenMemPresence::isInstalled(paths, forceMissing);
        return state;
    });
}

}  // namespace

InstallState InstallState::probe() {
    return probeWith(AgentAvailability::forcedMissing(), InstallPaths::process(),
                     environmentValue(kForceMissingVariable));
}

InstallState InstallState::probe(const InstallPaths& paths,
                                 std::optional<std::string_view> forceMissing) {
    return probeWith(AgentAvailability::parseForcedMissing(forceMissing.value_or("")), paths,
                     forceMissing);
}

}  // namespace wren
