// The I/O floor of discovery: for every recent transcript listed in a manifest written by
// make_homes, open it, pread exactly the bytes the readers must read (the last 512 KiB; for
// Codex also the first 96 KiB) into a buffer allocated once per thread, and close it. As many
// threads as discovery uses. Nothing is parsed, so no reader can be faster than this.
//
// usage: io_floor MANIFEST [THREADS]

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t kRecentBytes = 512 * 1024;
constexpr std::uint64_t kHeadBytes = 96 * 1024;

struct Entry {
    bool codex = false;
    std::string path;
};

std::uint64_t readRange(int fd, char* out, std::uint64_t offset, std::uint64_t length) {
    std::uint64_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (n <= 0) break;
        done += static_cast<std::uint64_t>(n);
    }
    return done;
}

std::uint64_t readEntry(const Entry& entry, char* buffer) {
    const int fd = ::open(entry.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return 0;
    std::uint64_t done = 0;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const auto size = static_cast<std::uint64_t>(info.st_size);
        if (entry.codex) done += readRange(fd, buffer, 0, std::min(size, kHeadBytes));
        const std::uint64_t recent = std::min(size, kRecentBytes);
        done += readRange(fd, buffer + kHeadBytes, size - recent, recent);
    }
    ::close(fd);
    return done;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: io_floor MANIFEST [THREADS]\n");
        return 2;
    }
    std::vector<Entry> entries;
    std::ifstream manifest(argv[1]);
    std::string agent;
    std::string path;
    while (manifest >> agent && std::getline(manifest >> std::ws, path)) {
        entries.push_back({agent == "codex", path});
    }
    const unsigned threads = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2]))
                                      : std::max(1u, std::thread::hardware_concurrency());

    std::atomic<std::size_t> next{0};
    std::atomic<std::uint64_t> total{0};
    const auto work = [&] {
        const auto buffer = std::make_unique<char[]>(kHeadBytes + kRecentBytes);
        std::uint64_t mine = 0;
        for (std::size_t i = next.fetch_add(1); i < entries.size(); i = next.fetch_add(1)) {
            mine += readEntry(entries[i], buffer.get());
        }
        total += mine;
    };
    {
        std::vector<std::jthread> helpers;
        for (unsigned t = 1; t < std::max(1u, threads); ++t) helpers.emplace_back(work);
        work();
    }
    std::printf("%zu files, %llu bytes\n", entries.size(),
                static_cast<unsigned long long>(total.load()));
    return entries.empty() ? 1 : 0;
}
