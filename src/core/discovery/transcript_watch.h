#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace wren {

/// Tells when a transcript under the agents' roots changes, without a clock: one inotify
/// descriptor watching every folder that discovery walks (each root and its non-hidden
/// subfolders, never through a symlink below a root), plus each root's parent so that a root
/// or a folder created later (the Codex day folder at midnight) is picked up. The descriptor
/// is for a caller's poll() or socket notifier; drain() reads what arrived.
///
/// Bounded: at most `maxWatches` folders, at most `maxDepth` levels below a root; when a tree
/// is larger, the most recently changed folders are watched first. Where inotify is missing or
/// refused, fd() is -1 and nothing is ever reported (the pointer-driven refresh still works).
class TranscriptWatch {
  public:
    struct Limits {
        std::size_t maxWatches = 4096;
        int maxDepth = 6;  // the agents nest three or four levels deep
    };

    explicit TranscriptWatch(std::vector<std::filesystem::path> roots);
    TranscriptWatch(std::vector<std::filesystem::path> roots, Limits limits);
    ~TranscriptWatch();
    TranscriptWatch(const TranscriptWatch&) = delete;
    TranscriptWatch& operator=(const TranscriptWatch&) = delete;

    /// The agents' usual roots (both agents' transcript folders).
    static std::vector<std::filesystem::path> agentRoots();

    /// Readable when something happened; -1 when nothing can be watched.
    int fd() const { return fd_; }

    /// Reads every pending event without blocking. True when a "*.jsonl" file (not hidden) was
    /// written, created, moved, removed or touched, when a folder holding one came or went, or
    /// when the kernel dropped events (its queue overflowed). New folders are watched before it
    /// returns. Reads a bounded amount per call: a busy writer leaves the descriptor readable.
    bool drain();

    /// How many folders are watched now.
    std::size_t watchCount() const { return folders_.size(); }

  private:
    struct Folder {
        std::string path;
        int depth = 0;            // 0 for a root, -1 for the parent of a missing root
        std::string awaitedRoot;  // for a parent: the root's own name
    };

    void arm();
    void disarm();
    /// Watches `path` (a root when depth is 0) and the folders below it, breadth first, newest
    /// first. True when a transcript is already inside (it may have been written before the
    /// watch existed).
    bool watchTree(const std::string& path, int depth);
    int addWatch(const std::string& path, int fd, bool followLink, std::uint32_t mask);

    std::vector<std::filesystem::path> roots_;
    Limits limits_;
    int fd_ = -1;
    std::unordered_map<int, Folder> folders_;  // by watch descriptor
};

}  // namespace wren
