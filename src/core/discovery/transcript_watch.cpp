#include "core/discovery/transcript_watch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <string_view>
#include <utility>

#include "core/discovery/agent_roots.h"
#include "core/discovery/directory.h"

namespace wren {
namespace {

constexpr std::string_view kTranscriptExtension = ".jsonl";

// What a folder of the tree reports: entries coming and going, transcripts written or touched
// (a touch moves a file across the 24-hour cutoff), and the folder itself going away.
constexpr std::uint32_t kTreeMask = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                                    IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                    IN_ONLYDIR | IN_EXCL_UNLINK;
// A missing root's parent only has to say when the root appears.
constexpr std::uint32_t kParentMask = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;

// Enough for many events at once; a drain reads at most this many buffers.
constexpr std::size_t kBufferSize = 64 * 1024;
constexpr int kMaxReadsPerDrain = 16;

bool isHidden(std::string_view name) {
    return name.empty() || name.front() == '.';
}

bool isTranscriptName(std::string_view name) {
    return !isHidden(name) && name.ends_with(kTranscriptExtension);
}

std::string joined(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

}  // namespace

TranscriptWatch::TranscriptWatch(std::vector<std::filesystem::path> roots)
    : TranscriptWatch(std::move(roots), Limits{}) {}

TranscriptWatch::TranscriptWatch(std::vector<std::filesystem::path> roots, Limits limits)
    : roots_(std::move(roots)), limits_(limits) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0) arm();
}

TranscriptWatch::~TranscriptWatch() {
    if (fd_ >= 0) ::close(fd_);
}

std::vector<std::filesystem::path> TranscriptWatch::agentRoots() {
    std::vector<std::filesystem::path> roots = AgentRoots::codex();
    roots.insert(roots.end(), AgentRoots::claude().begin(), AgentRoots::claude().end());
    return roots;
}

void TranscriptWatch::arm() {
    for (const std::filesystem::path& root : roots_) {
        struct stat status {};
        if (::stat(root.c_str(), &status) == 0) {
            watchTree(root.native(), 0);
            continue;
        }
        // Not there yet (an agent that has never run): wait for it in its parent.
        const std::filesystem::path parent = root.parent_path();
        if (parent.empty() || root.filename().empty()) continue;
        const int wd = addWatch(parent.native(), -1, true, kParentMask);
        if (wd >= 0) folders_[wd] = Folder{parent.native(), -1, root.filename().native()};
    }
}

void TranscriptWatch::disarm() {
    for (const auto& [wd, folder] : folders_) ::inotify_rm_watch(fd_, wd);
    folders_.clear();
}

int TranscriptWatch::addWatch(const std::string& path, int fd, bool followLink,
                              std::uint32_t mask) {
    if (folders_.size() >= limits_.maxWatches) return -1;
    if (fd >= 0) {
        // Through the open descriptor: the folder watched is the one just opened and checked,
        // even if a symlink took its name meanwhile.
        char viaFd[32];
        std::snprintf(viaFd, sizeof viaFd, "/proc/self/fd/%d", fd);
        const int wd = ::inotify_add_watch(fd_, viaFd, mask);
        if (wd >= 0 || errno != ENOENT) return wd;
    }
    return ::inotify_add_watch(fd_, path.c_str(), mask | (followLink ? 0 : IN_DONT_FOLLOW));
}

bool TranscriptWatch::watchTree(const std::string& top, int topDepth) {
    struct Pending {
        std::string path;
        int depth;
    };
    bool holdsTranscript = false;
    std::deque<Pending> queue{{top, topDepth}};
    while (!queue.empty() && folders_.size() < limits_.maxWatches) {
        Pending next = std::move(queue.front());
        queue.pop_front();
        // A root may be a symlink (as discovery allows); nothing below one is followed.
        Directory dir = openDirectory(AT_FDCWD, next.path.c_str(), next.depth == 0);
        if (!dir) continue;
        const int dirFd = ::dirfd(dir.get());
        const int wd = addWatch(next.path, dirFd, next.depth == 0, kTreeMask);
        if (wd < 0) {
            if (errno == ENOSPC) break;  // the user's watch limit: keep what we have
            continue;
        }
        folders_[wd] = Folder{next.path, next.depth, {}};

        struct Child {
            std::string name;
            double modified;
        };
        std::vector<Child> children;
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string_view name(entry->d_name);
            if (isHidden(name)) continue;
            if (entry->d_type == DT_REG || entry->d_type == DT_LNK) {
                if (entry->d_type == DT_REG && isTranscriptName(name)) holdsTranscript = true;
                continue;
            }
            if (next.depth + 1 > limits_.maxDepth) {
                if (entry->d_type == DT_UNKNOWN && isTranscriptName(name)) holdsTranscript = true;
                continue;
            }
            struct stat status {};
            if (::fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISREG(status.st_mode) && isTranscriptName(name)) holdsTranscript = true;
            if (!S_ISDIR(status.st_mode)) continue;
            children.push_back({std::string(name), static_cast<double>(status.st_mtim.tv_sec)});
        }
        // When the bound cuts a tree short, the folders that changed last are the ones kept.
        std::stable_sort(children.begin(), children.end(),
                         [](const Child& a, const Child& b) { return a.modified > b.modified; });
        for (Child& child : children) {
            queue.push_back({joined(next.path, child.name), next.depth + 1});
        }
    }
    return holdsTranscript;
}

bool TranscriptWatch::drain() {
    if (fd_ < 0) return false;
    alignas(inotify_event) char buffer[kBufferSize];
    bool changed = false;
    bool rearm = false;
    for (int pass = 0; pass < kMaxReadsPerDrain; ++pass) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length <= 0) break;  // EAGAIN: nothing more for now
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: anything may have changed, and folders may be unwatched.
                changed = true;
                rearm = true;
                continue;
            }
            const auto found = folders_.find(event->wd);
            if (found == folders_.end()) continue;
            const Folder& folder = found->second;
            if (event->mask & IN_IGNORED) {
                if (folder.depth <= 0) rearm = true;  // a root or a parent went away
                folders_.erase(found);
                continue;
            }
            const std::string_view name =
                event->len > 0 ? std::string_view(event->name) : std::string_view();
            if (folder.depth < 0) {
                if (name == folder.awaitedRoot) {
                    rearm = true;
                    changed = true;
                }
                continue;
            }
            if (event->mask & IN_MOVE_SELF) {
                changed = true;  // its transcripts left with it
                rearm = true;    // and every path below it is stale
                continue;
            }
            if (isHidden(name)) continue;
            if (event->mask & IN_ISDIR) {
                if (event->mask & IN_MOVED_FROM) {
                    // Transcripts may have left with it, and watches below it now sit elsewhere.
                    changed = true;
                    rearm = true;
                } else if ((event->mask & (IN_CREATE | IN_MOVED_TO)) &&
                           folder.depth + 1 <= limits_.maxDepth) {
                    // Watched at once; what was written before the watch existed still counts.
                    if (watchTree(joined(folder.path, name), folder.depth + 1)) changed = true;
                }
                continue;
            }
            if (name.ends_with(kTranscriptExtension)) changed = true;
        }
    }
    if (rearm) {
        disarm();
        arm();
    }
    return changed;
}

}  // namespace wren
