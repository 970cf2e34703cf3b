// Writes fake agent homes for the whole-process discovery benchmark:
//
//   OUT/claude/projects/-home-dev-src-<project>/<uuid>.jsonl
//   OUT/claude/projects/-home-dev-src-<project>/<uuid>/subagents/agent-<id>.jsonl
//   OUT/codex/sessions/YYYY/MM/DD/rollout-YYYY-MM-DDTHH-MM-SS-<uuid>.jsonl
//   OUT/codex/archived_sessions/rollout-…-<uuid>.jsonl   (copies of some recent sessions)
//   OUT/recent.txt   one "<agent> <path>" line per recent file, for io_floor
//
// N sessions, half Claude's and half Codex's; every fifth Codex session also has an archived
// copy, and a share of the Claude sessions a subagent's transcript (sidechain records only,
// 64 KiB to 1 MiB when recent), as the agents write them. Recent files were modified within the
// last 20 hours and their sessions are large; old files were modified days to weeks ago and are
// small, because discovery only lists them and never reads them.
//
// usage: make_homes OUT [--recent N] [--old N] [--bytes B] [--early-share F]
//                       [--subagent-share F] [--seed S] [--now UNIX]

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fake_transcripts.h"

namespace {

namespace fs = std::filesystem;
using wren::bench::FakeTranscript;

constexpr int kProjects = 10;
constexpr double kHour = 3600;
constexpr double kDay = 24 * kHour;
constexpr std::uint64_t kOldMinBytes = 8 * 1024;
constexpr std::uint64_t kOldMaxBytes = 64 * 1024;
constexpr std::uint64_t kSubagentMinBytes = 64 * 1024;
constexpr std::uint64_t kSubagentMaxBytes = 1024 * 1024;

struct Options {
    fs::path out;
    std::uint64_t recent = 200;
    std::uint64_t old = 0;
    std::uint64_t bytes = 4 << 20;
    double earlyShare = 0;  // share of recent files whose last 512 KiB hold no user prompt
    double subagentShare = 0;  // share of Claude sessions with a subagent transcript
    std::uint64_t seed = 1;
    double now = 0;
};

std::optional<std::uint64_t> parseCount(const char* text) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0') return std::nullopt;
    return value;
}

std::optional<Options> parseOptions(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    Options options;
    options.out = argv[1];
    options.now = static_cast<double>(std::time(nullptr));
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string_view flag = argv[i];
        const char* value = argv[i + 1];
        std::optional<std::uint64_t> count = parseCount(value);
        if (flag == "--early-share" || flag == "--subagent-share") {
            (flag == "--early-share" ? options.earlyShare : options.subagentShare) =
                std::atof(value);
            continue;
        }
        if (!count) return std::nullopt;
        if (flag == "--recent") {
            options.recent = *count;
        } else if (flag == "--old") {
            options.old = *count;
        } else if (flag == "--bytes") {
            options.bytes = *count;
        } else if (flag == "--seed") {
            options.seed = *count;
        } else if (flag == "--now") {
            options.now = static_cast<double>(*count);
        } else {
            return std::nullopt;
        }
    }
    if ((argc - 2) % 2 != 0) return std::nullopt;
    return options;
}

// A small deterministic stream of numbers for names, ages and sizes.
struct Dice {
    std::uint64_t state;
    std::uint64_t roll(std::uint64_t n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33) % n;
    }
    double fraction() { return static_cast<double>(roll(1000000)) / 1000000.0; }
};

struct Civil {
    int year, month, day, hour, minute, second;
};

Civil civil(double unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

fs::path codexDayDirectory(const fs::path& sessions, const Civil& c) {
    char y[16], m[16], d[16];
    std::snprintf(y, sizeof y, "%04d", c.year);
    std::snprintf(m, sizeof m, "%02d", c.month);
    std::snprintf(d, sizeof d, "%02d", c.day);
    return sessions / y / m / d;
}

std::string codexFileName(const Civil& c, const std::string& uuid) {
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d-%02d-%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    return "rollout-" + std::string(stamp) + "-" + uuid + ".jsonl";
}

bool setModified(const fs::path& file, double unixSeconds) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(unixSeconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, file.c_str(), times, 0) == 0;
}

bool put(const fs::path& file, const std::string& bytes, double modified) {
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (!wren::bench::writeFile(file, bytes) || !setModified(file, modified)) {
        std::fprintf(stderr, "make_homes: cannot write %s\n", file.c_str());
        return false;
    }
    return true;
}

// A subagent's transcript: a Claude transcript whose records all belong to a sidechain.
std::string sidechainTranscript(const FakeTranscript& plan) {
    std::string bytes = wren::bench::claudeTranscript(plan);
    constexpr std::string_view kMain = R"("isSidechain":false)";
    constexpr std::string_view kSide = R"("isSidechain":true)";
    std::string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    for (std::size_t hit = bytes.find(kMain); hit != std::string::npos;
         hit = bytes.find(kMain, at)) {
        out.append(bytes, at, hit - at).append(kSide);
        at = hit + kMain.size();
    }
    out.append(bytes, at);
    return out;
}

// Session i of a run: even ones are Claude's, odd ones Codex's. Archived copies and subagent
// transcripts are files of their own beside the `count` sessions.
bool writeAll(const Options& o, bool recent, std::ofstream& manifest) {
    const fs::path projects = o.out / "claude" / "projects";
    const fs::path sessions = o.out / "codex" / "sessions";
    const fs::path archived = o.out / "codex" / "archived_sessions";
    const std::uint64_t count = recent ? o.recent : o.old;
    Dice dice{o.seed * 7919 + (recent ? 1 : 2)};
    std::uint64_t codexFiles = 0;

    for (std::uint64_t i = 0; i < count; ++i) {
        const double modified = recent ? o.now - dice.fraction() * 20 * kHour
                                       : o.now - kDay - kHour - dice.fraction() * 60 * kDay;
        FakeTranscript plan;
        plan.seed = o.seed * 1000003 + i * 2 + (recent ? 0 : 1);
        plan.nativeID = wren::bench::fakeUuid(plan.seed);
        plan.bytes = recent ? o.bytes : kOldMinBytes + dice.roll(kOldMaxBytes - kOldMinBytes);
        plan.lastPrompt = recent && dice.fraction() < o.earlyShare
                              ? wren::bench::LastPrompt::early
                              : wren::bench::LastPrompt::recent;
        const std::string project = "proj" + std::to_string(dice.roll(kProjects));
        plan.cwd = "/home/dev/src/" + project;
        const bool codex = i % 2 == 1;
        // The session ran for some hours before its last write.
        plan.startUnix = modified - 4 * kHour;

        if (!codex) {
            const fs::path folder = projects / ("-home-dev-src-" + project);
            const fs::path file = folder / (plan.nativeID + ".jsonl");
            if (!put(file, wren::bench::claudeTranscript(plan), modified)) return false;
            if (recent) manifest << "claude " << file.string() << '\n';
            if (dice.fraction() >= o.subagentShare) continue;
            // The subagent ran inside the session and stopped a little before it.
            FakeTranscript side = plan;
            side.seed = plan.seed ^ 0x5eed;
            side.bytes = recent ? kSubagentMinBytes + dice.roll(kSubagentMaxBytes - kSubagentMinBytes)
                                : kOldMinBytes + dice.roll(kOldMaxBytes - kOldMinBytes);
            char id[32];
            std::snprintf(id, sizeof id, "agent-%08llx.jsonl",
                          static_cast<unsigned long long>(dice.roll(0xFFFFFFFFULL)));
            const fs::path sideFile = folder / plan.nativeID / "subagents" / id;
            if (!put(sideFile, sidechainTranscript(side), modified - 120)) return false;
            if (recent) manifest << "claude " << sideFile.string() << '\n';
            continue;
        }
        const Civil started = civil(plan.startUnix);
        const std::string name = codexFileName(started, plan.nativeID);
        const std::string bytes = wren::bench::codexTranscript(plan);
        const fs::path file = codexDayDirectory(sessions, started) / name;
        if (!put(file, bytes, modified)) return false;
        if (recent) manifest << "codex " << file.string() << '\n';
        if (codexFiles++ % 5 == 4) {
            // The archived copy is the same session, last touched a little earlier.
            const fs::path copy = archived / name;
            if (!put(copy, bytes, modified - 60)) return false;
            if (recent) manifest << "codex " << copy.string() << '\n';
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: make_homes OUT [--recent N] [--old N] [--bytes B] "
                     "[--early-share F] [--subagent-share F] [--seed S] [--now UNIX]\n");
        return 2;
    }
    std::error_code error;
    fs::create_directories(options->out / "claude" / "projects", error);
    fs::create_directories(options->out / "codex" / "sessions", error);
    fs::create_directories(options->out / "codex" / "archived_sessions", error);
    std::ofstream manifest;
    if (options->recent > 0) {
        manifest.open(options->out / "recent.txt", std::ios::trunc);
        if (!manifest) {
            std::fprintf(stderr, "make_homes: cannot write the manifest\n");
            return 1;
        }
    }
    if (!writeAll(*options, true, manifest) || !writeAll(*options, false, manifest)) return 1;
    manifest.close();
    if (options->recent > 0 && !manifest) return 1;
    return 0;
}
