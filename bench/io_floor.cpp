// The I/O floor of discovery: for every recent transcript listed in a manifest written by
// make_homes, open it, pread exactly the bytes the readers must read (for Codex the first
// 96 KiB, then for every file the last 512 KiB) into one static buffer, and close it. One
// thread, nothing parsed, nothing allocated per file: the plainest program that reads the same
// windows, which a reader can approach but hardly beat.
//
// usage: io_floor MANIFEST

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
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

char buffer[kRecentBytes];

std::uint64_t readEntry(const Entry& entry) {
    const int fd = ::open(entry.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return 0;
    std::uint64_t done = 0;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const auto size = static_cast<std::uint64_t>(info.st_size);
        if (entry.codex) done += readRange(fd, buffer, 0, std::min(size, kHeadBytes));
        const std::uint64_t recent = std::min(size, kRecentBytes);
        done += readRange(fd, buffer, size - recent, recent);
    }
    ::close(fd);
    return done;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: io_floor MANIFEST\n");
        return 2;
    }
    std::vector<Entry> entries;
    std::ifstream manifest(argv[1]);
    std::string agent;
    std::string path;
    while (manifest >> agent && std::getline(manifest >> std::ws, path)) {
        entries.push_back({agent == "codex", path});
    }
    std::uint64_t total = 0;
    for (const Entry& entry : entries) total += readEntry(entry);
    std::printf("%zu files, %llu bytes\n", entries.size(),
                static_cast<unsigned long long>(total));
    return entries.empty() ? 1 : 0;
}
