#include "machine/rate_limits.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>

#include "machine/directory.h"
#include "transcripts/json_line.h"
#include "transcripts/jsonl_reader.h"

namespace wren::RateLimitStore {
namespace {

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
                                                json::LineParser& parser) {
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
        if (auto found = search(*root, key)) return found;
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
    // sessions/<year>/<month>/<day>/<file>, each level chosen by modification time.
    std::optional<std::filesystem::path> at = codexSessions;
    for (int level = 0; level < 3 && at; ++level) at = newestChild(*at, true);
    if (at) at = newestChild(*at, false);
    if (!at) return std::nullopt;
    json::LineParser parser;
    const auto limits = lastObject("rate_limits", *at, parser);
    if (!limits) return std::nullopt;
    const auto primary = json::objectMember(*limits, "primary");
    return primary ? parseWindow(*primary) : std::nullopt;
}

std::optional<RateWindow> claudeWindow(const std::filesystem::path& claudeProjects) {
    const auto project = newestChild(claudeProjects, true);
    const auto file = project ? newestChild(*project, false) : std::nullopt;
    if (!file) return std::nullopt;
    json::LineParser parser;
    const auto limits = lastObject("rateLimits", *file, parser);
    return limits ? parseWindow(*limits) : std::nullopt;
}

}  // namespace wren::RateLimitStore
