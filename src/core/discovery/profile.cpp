#include "core/discovery/profile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wren::Profile {
namespace {

SpanTable& processSpans() {
    static SpanTable table;
    return table;
}

void appendLine(std::string& out, const SpanTotal& span) {
    static constexpr const char* kLine = "  %-22s %8.2f ms   %5lld call%s\n";
    const double millis = static_cast<double>(span.nanos) / 1e6;
    const auto calls = static_cast<long long>(span.calls);
    const char* plural = span.calls == 1 ? "" : "s";
    const int length = std::snprintf(nullptr, 0, kLine, span.name.c_str(), millis, calls, plural);
    if (length <= 0) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(length) + 1);  // room for snprintf's terminator
    std::snprintf(out.data() + at, static_cast<std::size_t>(length) + 1, kLine, span.name.c_str(),
                  millis, calls, plural);
    out.resize(at + static_cast<std::size_t>(length));
}

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // nowhere to report a failing stderr
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

bool enabledByValue(const char* value) {
    return value != nullptr && std::strcmp(value, "1") == 0;
}

bool enabled() {
    static const bool on = enabledByValue(std::getenv("WRENISLAND_PROFILE"));
    return on;
}

void SpanTable::record(std::string_view name, std::uint64_t nanos) {
    const std::lock_guard lock(mutex_);
    auto found = index_.find(std::string(name));
    if (found == index_.end()) {
        found = index_.emplace(std::string(name), spans_.size()).first;
        spans_.push_back(SpanTotal{std::string(name), 0, 0});
    }
    SpanTotal& span = spans_[found->second];
    span.nanos += nanos;
    span.calls += 1;
}

std::vector<SpanTotal> SpanTable::takeAll() {
    std::vector<SpanTotal> taken;
    {
        const std::lock_guard lock(mutex_);
        taken.swap(spans_);
        index_.clear();
    }
    return taken;
}

std::string formatReport(std::string_view title, const std::vector<SpanTotal>& spans) {
    std::string out = "\n[";
    out.append(title);
    out.append("]\n");
    for (const SpanTotal& span : spans) appendLine(out, span);
    return out;
}

void record(std::string_view name, std::uint64_t nanos) {
    if (enabled()) processSpans().record(name, nanos);
}

std::string take(std::string_view title) {
    if (!enabled()) return {};
    return formatReport(title, processSpans().takeAll());
}

void flush(std::string_view title) {
    if (!enabled()) return;
    writeAll(STDERR_FILENO, take(title));
}

}  // namespace wren::Profile
