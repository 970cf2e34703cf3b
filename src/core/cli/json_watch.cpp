#include "core/cli/json_watch.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "core/cli/json_snapshot.h"
#include "core/discovery/agent_roots.h"
#include "core/discovery/machine_snapshot.h"
#include "core/discovery/profile.h"
#include "core/discovery/refresh_pacer.h"
#include "core/discovery/transcript_watch.h"
#include "core/sessions/context_model.h"

namespace wren::JsonWatch {
namespace {

// Wakes this long after a clock boundary, so the count has surely changed by then.
constexpr double kClockMarginSeconds = 0.02;

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int timeoutMs(double seconds) {
    return static_cast<int>(std::ceil(std::clamp(seconds, 0.0, 86'400.0) * 1000));
}

// SIGINT and SIGTERM arrive as readable data instead of interrupting a write half-way, so the
// last line is either whole or not written.
int quitSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
    return ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

MachineSnapshot readSnapshot() {
    MachineSnapshot snapshot = MachineSnapshot::read(JsonSnapshot::kSessionLimit);
    Profile::flush("snapshot");
    return snapshot;
}

}  // namespace

int run(std::FILE* out, std::FILE* err, const std::vector<std::filesystem::path>& roots) {
    const int signals = quitSignals();
    TranscriptWatch watch(roots);
    if (watch.fd() < 0) {
        std::fputs("wrenisland: cannot watch the transcript folders (inotify): printing once\n",
                   err);
    }
    const LocalCalendar calendar;
    RefreshPacer pacer;
    constexpr double kNever = std::numeric_limits<double>::infinity();
    double readAt = kNever;  // steady time of the paced read, when one is due
    MachineSnapshot snapshot = readSnapshot();
    if (snapshot.sessions.empty()) {
        std::fputs(
            JsonSnapshot::nothingFoundNote(AgentRoots::claude(), AgentRoots::codex()).c_str(), err);
    }
    std::string printed;
    bool fresh = true;  // a snapshot or a clock boundary since the last print

    while (true) {
        if (fresh) {
            fresh = false;
            const std::string line = JsonSnapshot::document(snapshot, systemNow(), calendar);
            if (line != printed) {
                printed = line;
                std::fwrite(line.data(), 1, line.size(), out);
                std::fputc('\n', out);
                if (std::fflush(out) != 0 || std::ferror(out)) {
                    if (errno == EPIPE) return 0;  // the reader is gone: the normal end
                    std::fprintf(err, "wrenisland: cannot write the snapshot: %s\n",
                                 std::strerror(errno));
                    return 1;
                }
            }
        }
        if (watch.fd() < 0) return 0;

        const Instant now = systemNow();
        const Instant boundary = nextTotalsChange(snapshot.sessions, now, calendar);
        double wait = (boundary - now).count() + kClockMarginSeconds;
        wait = std::min(wait, readAt - steadySeconds());

        // While a paced read is due, more lines change nothing (the kernel merges their events
        // and the read covers them), so the watch is not listened to until then. Standard output
        // with no events asked: only its reader going away is reported.
        const bool listening = readAt == kNever;
        pollfd fds[3] = {
            {listening ? watch.fd() : -1, POLLIN, 0}, {signals, POLLIN, 0}, {::fileno(out), 0, 0}};
        const int ready = ::poll(fds, 3, timeoutMs(wait));
        if (ready < 0 && errno != EINTR) {
            std::fprintf(err, "wrenisland: %s\n", std::strerror(errno));
            return 1;
        }
        if (fds[1].revents != 0) return 0;
        if (fds[2].revents & (POLLERR | POLLHUP)) return 0;
        if ((fds[0].revents & POLLIN) && watch.drain()) {
            if (const std::optional<double> delay = pacer.changed(steadySeconds())) {
                readAt = steadySeconds() + *delay;
            }
        }
        if (steadySeconds() >= readAt) {
            readAt = kNever;
            watch.drain();  // covered by this read; new folders get watched
            const double at = steadySeconds();
            if (pacer.due(at)) {
                snapshot = readSnapshot();
                fresh = true;
            } else if (pacer.isPending()) {
                if (const std::optional<double> delay = pacer.changed(at)) readAt = at + *delay;
            }
        }
        if (systemNow() >= boundary) fresh = true;
    }
}

}  // namespace wren::JsonWatch
