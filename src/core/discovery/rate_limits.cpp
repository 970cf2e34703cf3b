#include "core/discovery/rate_limits.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/discovery/directory.h"
#include "core/discovery/file_stamp.h"
#include "core/transcripts/iso8601.h"
#include "core/transcripts/json_line.h"
#include "core/transcripts/jsonl_reader.h"
#include "core/transcripts/regular_file.h"
#include "core/transcripts/transcript_window.h"

namespace wren::RateLimitStore {
namespace {

// Claude Code's configuration also holds the user's project history, so it can be large; one
// beyond this is not read at all rather than costing every refresh an unbounded read.
constexpr std::uint64_t kConfigCap = 64u << 20;

// Only the end of a transcript is read: the newest record is what matters.
constexpr std::uint64_t kTailBytes = 524288;

// The earliest date a child can have; a child is chosen only when strictly later. This is
// 0001-01-01T00:00:00Z, the same "distant past" the agents' own platform uses.
constexpr std::int64_t kDistantPastSeconds = -62135596800;

struct ModTime {
    std::int64_t seconds = kDistantPastSeconds;
    long nanos = 0;

    bool laterThan(const ModTime& other) const {
        return seconds != other.seconds ? seconds > other.seconds : nanos > other.nanos;
    }
};

std::optional<simdjson::dom::object> searchAt(simdjson::dom::element value, std::string_view key,
                                              std::size_t depth) {
    // The parser refuses deeper documents anyway; this keeps a document handed in from a
    // more permissive parser from taking the stack down.
    if (depth >= json::kMaxDepth) return std::nullopt;
    simdjson::dom::object object;
    if (value.get(object) == simdjson::SUCCESS) {
        for (const auto field : object) {
            simdjson::dom::object found;
            if (field.key == key && field.value.get(found) == simdjson::SUCCESS &&
                found.size() > 0) {
                return found;
            }
        }
        for (const auto field : object) {
            if (auto found = searchAt(field.value, key, depth + 1)) return found;
        }
        return std::nullopt;
    }
    simdjson::dom::array array;
    if (value.get(array) == simdjson::SUCCESS) {
        for (const auto element : array) {
            if (auto found = searchAt(element, key, depth + 1)) return found;
        }
    }
    return std::nullopt;
}

// Whether the first member named `key`, depth first, holds null: a record that states there are
// no figures.
bool keyIsNull(simdjson::dom::element value, std::string_view key, std::size_t depth) {
    if (depth >= json::kMaxDepth) return false;
    simdjson::dom::object object;
    if (value.get(object) == simdjson::SUCCESS) {
        for (const auto field : object) {
            if (field.key == key) return field.value.is_null();
            if (keyIsNull(field.value, key, depth + 1)) return true;
        }
        return false;
    }
    simdjson::dom::array array;
    if (value.get(array) == simdjson::SUCCESS) {
        for (const auto element : array) {
            if (keyIsNull(element, key, depth + 1)) return true;
        }
    }
    return false;
}

// Any JSON number as a double; Booleans and texts are not numbers.
std::optional<double> number(simdjson::dom::element value) {
    switch (value.type()) {
        case simdjson::dom::element_type::INT64:
            return static_cast<double>(value.get_int64().value_unsafe());
        case simdjson::dom::element_type::UINT64:
            return static_cast<double>(value.get_uint64().value_unsafe());
        case simdjson::dom::element_type::DOUBLE:
            return value.get_double().value_unsafe();
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<std::filesystem::path> newestChild(const std::filesystem::path& directory,
                                                 bool directories) {
    const Directory dir = openDirectory(AT_FDCWD, directory.c_str(), true);
    if (!dir) return std::nullopt;
    const int fd = ::dirfd(dir.get());
    std::optional<std::filesystem::path> best;
    ModTime bestTime;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name.empty() || name.front() == '.') continue;  // hidden, and "." and ".."
        struct stat info {};
        // The child itself, not what a symlink points at: a symlinked directory is not walked
        // into, and a symlink counts as "not a directory" (reading it later still refuses
        // anything but a regular file).
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode) != directories) continue;
        const ModTime time{static_cast<std::int64_t>(info.st_mtim.tv_sec), info.st_mtim.tv_nsec};
        if (time.laterThan(bestTime)) {
            best = directory / name;
            bestTime = time;
        }
    }
    return best;
}

std::optional<simdjson::dom::object> lastObject(std::string_view key,
                                                const std::filesystem::path& file,
                                                json::LineParser& parser,
                                                std::optional<Instant>* stamped, bool nullEnds) {
    const auto window = JSONLReader::tail(file, kTailBytes, 0);
    if (!window) return std::nullopt;
    std::string pattern;
    pattern.reserve(key.size() + 2);
    pattern.append(1, '"').append(key).append(1, '"');
    for (std::size_t i = window->lines.size(); i-- > 0;) {
        const std::string_view line = window->line(i);
        if (!json::contains(line, pattern)) continue;
        const auto root = parser.parse(*window, i);
        if (!root) continue;
        if (auto found = search(*root, key)) {
            simdjson::dom::object record;
            if (stamped != nullptr && root->get(record) == simdjson::SUCCESS) {
                *stamped = json::recordTime(record);
            }
            return found;
        }
        if (nullEnds && keyIsNull(*root, key, 0)) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<simdjson::dom::object> search(simdjson::dom::element value, std::string_view key) {
    return searchAt(value, key, 0);
}

std::optional<RateWindow> parseWindow(simdjson::dom::object object) {
    const auto usedValue = json::member(object, "used_percent");
    const auto used = usedValue ? number(*usedValue) : std::nullopt;
    if (!used) return std::nullopt;
    const auto minutes = json::integerMember(object, "window_minutes");
    if (!minutes) return std::nullopt;
    RateWindow window;
    window.reportedPercent = *used;
    window.windowMinutes = *minutes;
    if (const auto resetsValue = json::member(object, "resets_at")) {
        if (const auto seconds = number(*resetsValue)) window.resetsAt = instantFromUnix(*seconds);
    }
    return window;
}

std::optional<RateWindow> codexWindow(const std::filesystem::path& codexSessions) {
    return codexLimits(codexSessions).primary;
}

CodexLimits codexLimits(const std::filesystem::path& codexSessions) {
    // sessions/<year>/<month>/<day>/<file>, each level chosen by modification time.
    std::optional<std::filesystem::path> at = codexSessions;
    for (int level = 0; level < 3 && at; ++level) at = newestChild(*at, true);
    if (at) at = newestChild(*at, false);
    if (!at) return {};
    json::LineParser parser;
    std::optional<Instant> stamped;
    // Codex writes "rate_limits": null when it has no figures: older ones are no longer true.
    const auto limits = lastObject("rate_limits", *at, parser, &stamped, true);
    if (!limits) return {};
    CodexLimits found;
    for (auto [name, slot] :
         {std::pair{"primary", &found.primary}, std::pair{"secondary", &found.secondary}}) {
        const auto object = json::objectMember(*limits, name);
        if (object) *slot = parseWindow(*object);
        if (*slot) (*slot)->asOf = stamped;
    }
    return found;
}

std::optional<RateWindow> claudeWindow(const std::filesystem::path& claudeProjects) {
    const auto project = newestChild(claudeProjects, true);
    const auto file = project ? newestChild(*project, false) : std::nullopt;
    if (!file) return std::nullopt;
    json::LineParser parser;
    std::optional<Instant> stamped;
    const auto limits = lastObject("rateLimits", *file, parser, &stamped);
    auto window = limits ? parseWindow(*limits) : std::nullopt;
    if (window) window->asOf = stamped;
    return window;
}

std::vector<std::filesystem::path> claudeConfigFiles(const char* configDir,
                                                     const std::filesystem::path& home) {
    if (configDir != nullptr) return {std::filesystem::path(configDir) / ".claude.json"};
    if (home.empty()) return {};
    return {home / ".claude.json", home / ".claude" / ".claude.json"};
}

std::vector<RateWindow> parseClaudeCache(std::string_view document) {
    // The on-demand parser only finds the member, skipping the history around it; the small
    // object is then parsed whole. (simdjson 3.0.1's on-demand iterator must not be used again
    // after any error, which the walk through untrusted buckets would risk.)
    using namespace simdjson;
    ondemand::parser skimmer;
    ondemand::document doc;
    ondemand::object root, found;
    std::string_view text;
    if (skimmer.iterate(document.data(), document.size(), document.size() + SIMDJSON_PADDING)
            .get(doc) ||
        doc.get_object().get(root) ||
        root.find_field_unordered("cachedUsageUtilization").get_object().get(found) ||
        found.raw_json().get(text)) {
        return {};
    }
    const padded_string copy(text);
    dom::parser parser;
    dom::object cache;
    if (parser.parse(copy).get(cache)) return {};
    const auto buckets = json::objectMember(cache, "utilization");
    if (!buckets) return {};
    std::optional<Instant> asOf;
    if (const auto fetched = json::member(cache, "fetchedAtMs")) {
        if (const auto ms = number(*fetched); ms && std::isfinite(*ms)) {
            asOf = instantFromUnix(*ms / 1000.0);
        }
    }
    std::vector<RateWindow> windows;
    for (const auto field : *buckets) {
        const std::int64_t minutes = field.key == "five_hour"   ? kFiveHourMinutes
                                     : field.key == "seven_day" ? kWeekMinutes
                                                                : 0;
        // A repeated bucket counts once, as its first appearance.
        const bool seen = std::any_of(windows.begin(), windows.end(), [&](const RateWindow& w) {
            return w.windowMinutes == minutes;
        });
        dom::object bucket;
        if (minutes == 0 || seen || field.value.get(bucket)) continue;
        const auto usedValue = json::member(bucket, "utilization");
        const auto used = usedValue ? number(*usedValue) : std::nullopt;
        if (!used || !std::isfinite(*used)) continue;
        RateWindow window{*used, minutes, std::nullopt, QuotaSource::cache, asOf};
        if (const auto resets = json::stringMember(bucket, "resets_at")) {
            window.resetsAt = ISO8601::parseAny(*resets);
        }
        windows.push_back(window);
    }
    return windows;
}

namespace {

std::vector<RateWindow> readCachedWindows(const std::filesystem::path& path) {
    const auto file = RegularFile::open(path);
    const auto size = file ? file->size() : std::nullopt;
    if (!size || *size == 0 || *size > kConfigCap) return {};
    PaddedBuffer buffer(static_cast<std::size_t>(*size));
    std::size_t got = 0;
    while (got < buffer.size()) {
        const std::size_t read = file->readAt(got, buffer.data() + got, buffer.size() - got);
        if (read == 0) break;
        got += read;
    }
    // A file that shrank while being read is parsed as far as it came.
    buffer.shrink(got);
    return parseClaudeCache(buffer.view());
}

}  // namespace

std::vector<RateWindow> claudeCachedWindows(const std::vector<std::filesystem::path>& files) {
    // The configuration holds the user's whole project history (tens of MB take ~20 ms to
    // parse), yet changes far less often than the island refreshes: each file's figures are
    // kept until its identity, size or modification time changes.
    struct Memo {
        FileStamp stamp;
        std::vector<RateWindow> windows;
    };
    static std::mutex lock;
    static std::map<std::filesystem::path, Memo> memo;
    for (const std::filesystem::path& path : files) {
        const auto stamp = FileStamp::ofPath(path);
        if (!stamp) continue;
        std::optional<std::vector<RateWindow>> windows;
        {
            std::lock_guard hold(lock);
            const auto found = memo.find(path);
            if (found != memo.end() && found->second.stamp == *stamp) {
                windows = found->second.windows;
            }
        }
        if (!windows) {
            windows = readCachedWindows(path);
            // Stamped before the read: a write during it changes the stamp and is read next time.
            std::lock_guard hold(lock);
            memo[path] = Memo{*stamp, *windows};
        }
        if (!windows->empty()) return *windows;
    }
    return {};
}

std::vector<RateWindow> currentWindows(std::vector<RateWindow> windows, Instant now) {
    std::erase_if(windows, [&](const RateWindow& w) { return w.resetsAt && *w.resetsAt <= now; });
    return windows;
}

std::optional<RateWindow> bindingWindow(const std::vector<RateWindow>& windows) {
    std::optional<RateWindow> best;
    for (const RateWindow& w : windows) {
        if (!std::isfinite(w.reportedPercent)) continue;
        if (!best || w.reportedPercent > best->reportedPercent ||
            (w.reportedPercent == best->reportedPercent && w.windowMinutes > best->windowMinutes)) {
            best = w;
        }
    }
    return best;
}

}  // namespace wren::RateLimitStore
