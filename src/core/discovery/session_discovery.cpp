#include "core/discovery/session_discovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/discovery/agent_roots.h"
#include "core/discovery/directory.h"
#include "core/discovery/file_stamp.h"
#include "core/discovery/parallel_for.h"
#include "core/discovery/profile.h"
#include "core/transcripts/reader_arena.h"

namespace wren::SessionDiscovery {
namespace {

constexpr double kRecentSeconds = 86400;
// Two readers at the most. A read is mostly a copy out of the page cache, which two threads
// already run at close to the speed of memory; each further thread would bring its own windows
// and parser, fresh memory whose page faults cost about what the thread saves.
constexpr std::size_t kMaxReaders = 2;
constexpr std::string_view kTranscriptExtension = ".jsonl";

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

struct Candidate {
    std::filesystem::path file;
    FileStamp stamp;
};

/// Depth first with an explicit stack, yielding entries in directory order as it meets them.
void walk(const std::filesystem::path& root, double cutoff, std::vector<Candidate>& found) {
    struct Frame {
        DirectoryListing dir;
        std::string path;
        int depth;
    };
    std::vector<Frame> stack;
    if (auto top = DirectoryListing::open(AT_FDCWD, root.c_str(), true)) {
        stack.push_back(Frame{std::move(*top), root.native(), 0});
    }
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const std::optional<DirectoryListing::Entry> entry = frame.dir.next();
        if (!entry) {  // the end, or an error: either way this directory is done
            stack.pop_back();
            continue;
        }
        const std::string_view name(entry->name);
        if (name.empty() || name.front() == '.') continue;  // hidden, also "." and ".."
        const bool transcriptName = name.ends_with(kTranscriptExtension);
        const int dirFd = frame.dir.fd();
        // The entry type, where the file system gives one, spares a stat of every directory
        // and of every file that is not a transcript: only transcripts need their time.
        unsigned char type = entry->type;
        struct stat status {};
        if (type == DT_UNKNOWN || (type == DT_REG && transcriptName)) {
            if (::fstatat(dirFd, entry->name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            if (frame.depth >= kMaxWalkDepth) continue;
            // O_NOFOLLOW: an entry that became a symlink since it was listed is not entered.
            auto child = DirectoryListing::open(dirFd, entry->name, false);
            if (!child) continue;
            Frame next{std::move(*child), joined(frame.path, name), frame.depth + 1};
            stack.push_back(std::move(next));  // `frame` is not used past this point
            continue;
        }
        if (!transcriptName || type != DT_REG) continue;
        if (modifiedSeconds(status) < cutoff) continue;
        found.push_back(Candidate{joined(frame.path, name), FileStamp::of(status)});
    }
}

struct ReadRequest {
    std::filesystem::path file;
    Agent agent;
    FileStamp stamp;
};

std::optional<SessionSummary> read(const ReadRequest& request) {
    return request.agent == Agent::codex ? readCodex(request.file) : readClaude(request.file);
}

/// The summaries of the last pass by file, so a file whose content has not changed since is not
/// read again: while one agent writes, a refresh reads one transcript instead of hundreds. A
/// summary depends on the file's bytes alone; it holds exactly the files of the last pass.
struct ReadCache {
    struct Entry {
        FileStamp stamp;
        Agent agent;
        std::optional<SessionSummary> summary;
    };
    std::mutex mutex;
    std::unordered_map<std::string, Entry> entries;
    std::size_t lastReads = 0;

    static ReadCache& instance() {
        static ReadCache cache;
        return cache;
    }
};

/// Every request read (or taken from the cache when its file is unchanged), one result slot
/// each so the parallel reads share nothing; the summaries that came out, in request order.
std::vector<SessionSummary> readAll(const std::vector<ReadRequest>& requests) {
    if (requests.empty()) return {};
    return Profile::measure("read", [&] {
        std::vector<std::optional<SessionSummary>> slots(requests.size());
        std::vector<std::size_t> misses;
        ReadCache& cache = ReadCache::instance();
        {
            const std::lock_guard lock(cache.mutex);
            for (std::size_t i = 0; i < requests.size(); ++i) {
                const auto found = cache.entries.find(requests[i].file.native());
                if (found != cache.entries.end() && found->second.stamp == requests[i].stamp &&
                    found->second.agent == requests[i].agent) {
                    slots[i] = found->second.summary;
                } else {
                    misses.push_back(i);
                }
            }
        }
        parallelFor(
            misses.size(), [&](std::size_t m) { slots[misses[m]] = read(requests[misses[m]]); },
            kMaxReaders);
        {
            const std::lock_guard lock(cache.mutex);
            cache.lastReads = misses.size();
            cache.entries.clear();
            for (std::size_t i = 0; i < requests.size(); ++i) {
                cache.entries.insert_or_assign(
                    requests[i].file.native(),
                    ReadCache::Entry{requests[i].stamp, requests[i].agent, slots[i]});
            }
        }
        // The helpers' arenas went with their threads; this thread's goes too, so a program
        // that waits between refreshes holds no window buffers meanwhile.
        ReaderArena::local().release();
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

namespace {

std::vector<Candidate> stampedCandidates(const std::vector<std::filesystem::path>& roots,
                                         Instant now) {
    return Profile::measure("enumerate", [&] {
        const double cutoff = unixSeconds(now) - kRecentSeconds;
        std::vector<Candidate> found;
        for (const std::filesystem::path& root : roots) walk(root, cutoff, found);
        return found;
    });
}

}  // namespace

std::vector<std::filesystem::path> candidates(const std::vector<std::filesystem::path>& roots,
                                              Instant now) {
    std::vector<std::filesystem::path> files;
    for (Candidate& candidate : stampedCandidates(roots, now)) {
        files.push_back(std::move(candidate.file));
    }
    return files;
}

std::vector<SessionSummary> discover(std::size_t limit,
                                     const std::vector<std::filesystem::path>& codexRoots,
                                     const std::vector<std::filesystem::path>& claudeRoots,
                                     Instant now) {
    return Profile::measure("discover", [&] {
        // The two agents' trees are walked at the same time: listing thousands of old files
        // is a good part of a refresh, and the walks share nothing.
        std::vector<Candidate> found[2];
        parallelFor(2, [&](std::size_t i) {
            found[i] = stampedCandidates(i == 0 ? codexRoots : claudeRoots, now);
        });
        std::vector<ReadRequest> requests;
        requests.reserve(found[0].size() + found[1].size());
        for (Candidate& c : found[0]) {
            requests.push_back(ReadRequest{std::move(c.file), Agent::codex, c.stamp});
        }
        for (Candidate& c : found[1]) {
            requests.push_back(ReadRequest{std::move(c.file), Agent::claude, c.stamp});
        }
        std::vector<SessionSummary> sessions = mergedById(readAll(requests));
        std::sort(sessions.begin(), sessions.end(), newestFirst);
        if (sessions.size() > limit) {
            sessions.erase(sessions.begin() + static_cast<std::ptrdiff_t>(limit), sessions.end());
        }
        return sessions;
    });
}

std::size_t filesReadInLastPass() {
    ReadCache& cache = ReadCache::instance();
    const std::lock_guard lock(cache.mutex);
    return cache.lastReads;
}

std::vector<SessionSummary> discover(std::size_t limit) {
    return discover(limit, AgentRoots::codex(), AgentRoots::claude(), systemNow());
}

}  // namespace wren::SessionDiscovery
