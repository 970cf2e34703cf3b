#include "machine/session_discovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "machine/agent_roots.h"
#include "machine/parallel_for.h"
#include "machine/profile.h"

namespace wren::SessionDiscovery {
namespace {

constexpr double kRecentSeconds = 86400;
constexpr std::string_view kTranscriptExtension = ".jsonl";

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Directory = std::unique_ptr<DIR, DirCloser>;

/// Opens a directory for listing. Below a root `follow` is false, so a symlink is never entered,
/// even one that replaced a directory after it was looked at.
Directory openDirectory(int parent, const char* name, bool follow) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
    if (!follow) flags |= O_NOFOLLOW;
    const int fd = ::openat(parent, name, flags);
    if (fd < 0) return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) ::close(fd);
    return Directory(dir);
}

std::string joined(const std::string& directory, std::string_view name) {
    std::string path;
    path.reserve(directory.size() + 1 + name.size());
    path.append(directory);
    if (!path.empty() && path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

double modifiedSeconds(const struct stat& status) {
    return static_cast<double>(status.st_mtim.tv_sec) +
           static_cast<double>(status.st_mtim.tv_nsec) / 1e9;
}

/// Depth first with an explicit stack, yielding entries in directory order as it meets them.
void walk(const std::filesystem::path& root, double cutoff,
          std::vector<std::filesystem::path>& found) {
    struct Frame {
        Directory dir;
        std::string path;
        int depth;
    };
    std::vector<Frame> stack;
    if (Directory top = openDirectory(AT_FDCWD, root.c_str(), true)) {
        stack.push_back(Frame{std::move(top), root.native(), 0});
    }
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const dirent* entry = ::readdir(frame.dir.get());
        if (entry == nullptr) {  // the end, or an error: either way this directory is done
            stack.pop_back();
            continue;
        }
        const std::string_view name(entry->d_name);
        if (name.empty() || name.front() == '.') continue;  // hidden, also "." and ".."
        const bool transcriptName = name.ends_with(kTranscriptExtension);
        // The entry type, when the file system gives one, spares a stat of every other file.
        if (!transcriptName && entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) continue;

        const int dirFd = ::dirfd(frame.dir.get());
        struct stat status {};
        if (::fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            if (frame.depth >= kMaxWalkDepth) continue;
            Directory child = openDirectory(dirFd, entry->d_name, false);
            if (!child) continue;
            Frame next{std::move(child), joined(frame.path, name), frame.depth + 1};
            stack.push_back(std::move(next));  // `frame` is not used past this point
            continue;
        }
        if (!transcriptName || !S_ISREG(status.st_mode)) continue;
        if (modifiedSeconds(status) < cutoff) continue;
        found.emplace_back(joined(frame.path, name));
    }
}

struct ReadRequest {
    std::filesystem::path file;
    Agent agent;
};

std::optional<SessionSummary> read(const ReadRequest& request) {
    return request.agent == Agent::codex ? readCodex(request.file) : readClaude(request.file);
}

/// Every request read, one result slot each so the parallel reads share nothing; the summaries
/// that came out, in request order.
std::vector<SessionSummary> readAll(const std::vector<ReadRequest>& requests) {
    if (requests.empty()) return {};
    return Profile::measure("read", [&] {
        std::vector<std::optional<SessionSummary>> slots(requests.size());
        parallelFor(requests.size(), [&](std::size_t i) { slots[i] = read(requests[i]); });
        std::vector<SessionSummary> summaries;
        summaries.reserve(slots.size());
        for (std::optional<SessionSummary>& slot : slots) {
            if (slot) summaries.push_back(std::move(*slot));
        }
        return summaries;
    });
}

/// One summary per id: a later one replaces an earlier only when strictly more recently active.
std::vector<SessionSummary> mergedById(std::vector<SessionSummary> summaries) {
    std::vector<SessionSummary> merged;
    std::unordered_map<std::string, std::size_t> slotOf;
    for (SessionSummary& summary : summaries) {
        const auto [slot, isNew] = slotOf.try_emplace(summary.id, merged.size());
        if (isNew) {
            merged.push_back(std::move(summary));
        } else if (merged[slot->second].lastActivity < summary.lastActivity) {
            merged[slot->second] = std::move(summary);
        }
    }
    return merged;
}

}  // namespace

std::vector<std::filesystem::path> candidates(const std::vector<std::filesystem::path>& roots,
                                              Instant now) {
    return Profile::measure("enumerate", [&] {
        const double cutoff = unixSeconds(now) - kRecentSeconds;
        std::vector<std::filesystem::path> found;
        for (const std::filesystem::path& root : roots) walk(root, cutoff, found);
        return found;
    });
}

std::vector<SessionSummary> discover(std::size_t limit,
                                     const std::vector<std::filesystem::path>& codexRoots,
                                     const std::vector<std::filesystem::path>& claudeRoots,
                                     Instant now) {
    return Profile::measure("discover", [&] {
        std::vector<ReadRequest> requests;
        for (std::filesystem::path& file : candidates(codexRoots, now)) {
            requests.push_back(ReadRequest{std::move(file), Agent::codex});
        }
        for (std::filesystem::path& file : candidates(claudeRoots, now)) {
            requests.push_back(ReadRequest{std::move(file), Agent::claude});
        }
        std::vector<SessionSummary> sessions = mergedById(readAll(requests));
        std::sort(sessions.begin(), sessions.end(), newestFirst);
        if (sessions.size() > limit) {
            sessions.erase(sessions.begin() + static_cast<std::ptrdiff_t>(limit), sessions.end());
        }
        return sessions;
    });
}

std::vector<SessionSummary> discover(std::size_t limit) {
    return discover(limit, AgentRoots::codex(), AgentRoots::claude(),
                    Instant(std::chrono::system_clock::now()));
}

}  // namespace wren::SessionDiscovery
