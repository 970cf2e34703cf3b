// The transcript readers against their I/O floor: the same bytes read with plain pread calls
// from the page cache into a buffer allocated once. A reader can never beat its floor; how far
// it stays above it is the cost of opening, splitting, parsing and cleaning.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake_transcripts.h"
#include "core/transcripts/jsonl_reader.h"
#include "core/transcripts/transcript_readers.h"

namespace {

namespace fs = std::filesystem;
using wren::SessionDiscovery::kHeadBytes;
using wren::SessionDiscovery::kOlderBytes;
using wren::SessionDiscovery::kRecentBytes;

constexpr std::uint64_t kTranscriptBytes = 4 << 20;

class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "wren-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

struct Range {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// What a reader must read of a file: the last 512 KiB, for Codex also the first 96 KiB, and
// when no user message is found there, the 3.5 MiB before the last 512 KiB.
std::vector<Range> readerRanges(std::uint64_t size, bool codex, bool older) {
    std::vector<Range> ranges;
    if (codex) ranges.push_back({0, std::min(size, kHeadBytes)});
    const std::uint64_t recent = std::min(size, kRecentBytes);
    ranges.push_back({size - recent, recent});
    if (older && size > kRecentBytes) {
        const std::uint64_t end = size - kRecentBytes;
        const std::uint64_t length = std::min(end, kOlderBytes);
        ranges.push_back({end - length, length});
    }
    return ranges;
}

std::uint64_t totalLength(const std::vector<Range>& ranges) {
    std::uint64_t total = 0;
    for (const Range& r : ranges) total += r.length;
    return total;
}

// Bytes this process has read with read() and pread() so far ("rchar" of /proc/self/io).
std::optional<std::uint64_t> bytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return std::nullopt;
}

// How many bytes one call of `read` reads; nothing when the kernel does not say.
template <class Read>
std::optional<std::uint64_t> bytesReadBy(Read&& read) {
    const auto before = bytesReadSoFar();
    const auto probe = bytesReadSoFar();  // the cost of asking, counted once below
    read();
    const auto after = bytesReadSoFar();
    if (!before || !probe || !after) return std::nullopt;
    return *after - *probe - (*probe - *before);
}

void floorRead(benchmark::State& state, const fs::path& file, const std::vector<Range>& ranges) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the transcript");
        return;
    }
    const std::uint64_t total = totalLength(ranges);
    const auto buffer = std::make_unique<char[]>(total);
    for (auto _ : state) {
        char* out = buffer.get();
        for (const Range& r : ranges) {
            std::uint64_t done = 0;
            while (done < r.length) {
                const ssize_t n =
                    ::pread(fd, out + done, r.length - done, static_cast<off_t>(r.offset + done));
                if (n <= 0) break;
                done += static_cast<std::uint64_t>(n);
            }
            out += r.length;
        }
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total));
}

long minorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The line split of a window already in memory: the one pass over every byte of the window
// that a reader makes besides the copy, whether or not its scan needs the older lines.
void splitWindow(benchmark::State& state, const fs::path& file) {
    const auto window = wren::JSONLReader::tail(file, kRecentBytes, 0);
    if (!window) {
        state.SkipWithError("cannot read the transcript");
        return;
    }
    for (auto _ : state) {
        auto lines = wren::JSONLReader::lineRanges(window->data.view(), true, false);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * window->data.size()));
}

template <class Reader>
void readerCall(benchmark::State& state, Reader reader, const fs::path& file, std::uint64_t bytes) {
    const long faultsBefore = minorFaults();
    for (auto _ : state) {
        auto summary = reader(file);
        benchmark::DoNotOptimize(summary);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    // Fresh pages are the price of buffers that are allocated and returned on every call.
    state.counters["faults"] = benchmark::Counter(static_cast<double>(minorFaults() - faultsBefore),
                                                  benchmark::Counter::kAvgIterations);
}

// Keeps the times of every run (the median when repeated) for the ratio table. CPU time is
// shown beside wall time because a shared machine's other load inflates only the latter.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.run_name.str();
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((run.run_type == Run::RT_Iteration && medians_.count(name) == 0) || median) {
                times_[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            }
            if (median) medians_[name] = true;
        }
    }

    void printRatio(const std::string& reader, const std::string& floor) const {
        const auto r = times_.find(reader);
        const auto f = times_.find(floor);
        if (r == times_.end() || f == times_.end() || f->second.wall <= 0 || f->second.cpu <= 0) {
            return;
        }
        std::printf("%-24s wall %9.1f / %9.1f us = %5.2f   cpu %9.1f / %9.1f us = %5.2f\n",
                    reader.c_str(), r->second.wall, f->second.wall, r->second.wall / f->second.wall,
                    r->second.cpu, f->second.cpu, r->second.cpu / f->second.cpu);
    }

  private:
    struct Times {
        double wall = 0;
        double cpu = 0;
    };
    std::map<std::string, Times> times_;
    std::map<std::string, bool> medians_;
};

struct Case {
    std::string name;  // e.g. "readClaude/recent"
    std::string floorName;
    fs::path file;
    bool codex = false;
    bool older = false;  // the reader must also read the 3.5 MiB before the last 512 KiB
    std::vector<Range> ranges;
};

// Refuses a corpus that does not have the shape its benchmark claims: every reader must find a
// session with a message and tokens, reading exactly the floor's bytes, each of them once.
bool checkCase(const Case& c) {
    std::optional<wren::SessionSummary> summary;
    const auto read = bytesReadBy([&] {
        summary = c.codex ? wren::SessionDiscovery::readCodex(c.file)
                          : wren::SessionDiscovery::readClaude(c.file);
    });
    const bool complete = summary && summary->lastUserMessage && summary->reportedTokens &&
                          (!c.codex || summary->contextWindow);
    if (!complete) {
        std::fprintf(stderr, "%s: the reader did not find a complete session\n", c.name.c_str());
        return false;
    }
    const std::uint64_t expected = totalLength(c.ranges);
    if (read && *read != expected) {
        std::fprintf(stderr, "%s: the reader read %llu bytes, its floor %llu\n", c.name.c_str(),
                     static_cast<unsigned long long>(*read),
                     static_cast<unsigned long long>(expected));
        return false;
    }
    std::printf("%-24s %s, %llu bytes read%s\n", c.name.c_str(), summary->id.c_str(),
                static_cast<unsigned long long>(expected), read ? "" : " (not verified)");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    ScratchDir dir;
    if (dir.path().empty()) {
        std::fprintf(stderr, "cannot create a temporary directory\n");
        return 1;
    }

    std::vector<Case> cases;
    std::uint64_t seed = 1;
    for (const bool codex : {false, true}) {
        for (const auto shape : {wren::bench::LastPrompt::recent, wren::bench::LastPrompt::early}) {
            wren::bench::FakeTranscript plan;
            plan.nativeID = wren::bench::fakeUuid(seed);
            plan.seed = seed++;
            plan.bytes = kTranscriptBytes;
            plan.lastPrompt = shape;
            const std::string bytes =
                codex ? wren::bench::codexTranscript(plan) : wren::bench::claudeTranscript(plan);
            const std::string fileName =
                codex ? "rollout-2025-09-10T08-00-00-" + plan.nativeID + ".jsonl"
                      : plan.nativeID + ".jsonl";
            Case c;
            const bool older = shape == wren::bench::LastPrompt::early;
            const std::string agent = codex ? "Codex" : "Claude";
            const std::string variant = older ? "olderWindow" : "recent";
            c.name = "read" + agent + "/" + variant;
            c.floorName = "floor/" + agent + "/" + variant;
            c.file = dir.path() / fileName;
            c.codex = codex;
            c.older = older;
            c.ranges = readerRanges(bytes.size(), codex, older);
            if (!wren::bench::writeFile(c.file, bytes)) {
                std::fprintf(stderr, "cannot write %s\n", c.file.c_str());
                return 1;
            }
            cases.push_back(std::move(c));
        }
    }
    for (const Case& c : cases) {
        if (!checkCase(c)) return 1;
    }

    for (const Case& c : cases) {
        const std::uint64_t bytes = totalLength(c.ranges);
        const auto reader = [codex = c.codex](const fs::path& file) {
            return codex ? wren::SessionDiscovery::readCodex(file)
                         : wren::SessionDiscovery::readClaude(file);
        };
        benchmark::RegisterBenchmark(c.name.c_str(), readerCall<decltype(reader)>, reader, c.file,
                                     bytes)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(c.floorName.c_str(), floorRead, c.file, c.ranges)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("lineRanges/recentWindow", splitWindow, cases.front().file)
        ->Unit(benchmark::kMicrosecond);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nReader over its I/O floor (target for the recent case: at most 2.00)\n");
    for (const Case& c : cases) reporter.printRatio(c.name, c.floorName);
    reporter.printRatio("lineRanges/recentWindow", cases.front().floorName);
    benchmark::Shutdown();
    return 0;
}
