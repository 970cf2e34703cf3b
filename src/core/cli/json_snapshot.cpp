#include "core/cli/json_snapshot.h"

#include <cerrno>
#include <cstring>

#include "core/cli/json_writer.h"
#include "core/cli/printed_text.h"
#include "core/discovery/agent_roots.h"
#include "core/discovery/profile.h"
#include "core/transcripts/iso8601.h"
#include "core/sessions/context_model.h"

namespace wren::JsonSnapshot {
namespace {

void writeTime(JsonWriter& json, std::optional<Instant> instant) {
    json.value(instant ? ISO8601::formatUtcMillis(*instant) : std::nullopt);
}

void writeSession(JsonWriter& json, const SessionSummary& s, Instant now) {
    json.beginObject();
    json.key("id").value(s.id);
    json.key("agent").value(rawValue(s.agent));
    json.key("nativeID").value(s.nativeID);
    json.key("project").value(s.project);
    json.key("workingDirectory").value(s.workingDirectory);
    json.key("lastActivity");
    writeTime(json, s.lastActivity);
    json.key("lastUserMessage").value(s.lastUserMessage);
    json.key("turns").value(s.turns);
    json.key("state").value(activityName(activityOf(s.turn, s.lastActivity, now)));
    json.key("contextWindow").value(s.contextWindow);
    json.key("reportedTokens").value(s.reportedTokens);
    json.key("totalTokens").value(s.totalTokens());
    json.key("usefulPct").value(s.usefulPct());
    json.key("scoreLabel").value(s.scoreLabel());
    json.key("segments").beginArray();
    for (const ContextSegment& segment : s.segments) {
        json.beginObject();
        json.key("id").value(segment.id);
        json.key("label").value(segment.label);
        json.key("tokens").value(segment.tokens);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

void writeWindow(JsonWriter& json, const MachineSnapshot& snapshot, Agent agent) {
    const auto found = snapshot.windows.find(agent);
    const auto all = snapshot.quotas.find(agent);
    if (found == snapshot.windows.end() && all == snapshot.quotas.end()) {
        json.null();
        return;
    }
    // The first three members stay as scripts already read them: the agent's one window.
    const RateWindow* window = found == snapshot.windows.end() ? nullptr : &found->second;
    json.beginObject();
    json.key("usedPercent").value(window ? std::optional(window->reportedPercent) : std::nullopt);
    json.key("windowMinutes").value(window ? std::optional(window->windowMinutes) : std::nullopt);
    json.key("resetsAt");
    writeTime(json, window ? window->resetsAt : std::nullopt);
    json.key("windows").beginArray();
    if (all != snapshot.quotas.end()) {
        for (const RateWindow& each : all->second) {
            json.beginObject();
            json.key("usedPercent").value(each.reportedPercent);
            json.key("windowMinutes").value(each.windowMinutes);
            json.key("resetsAt");
            writeTime(json, each.resetsAt);
            json.key("source").value(each.source == QuotaSource::cache ? "cache" : "transcript");
            json.key("asOf");
            writeTime(json, each.asOf);
            json.endObject();
        }
    }
    json.endArray();
    json.endObject();
}

std::string joinedPaths(const std::vector<std::filesystem::path>& roots) {
    std::string out;
    for (const std::filesystem::path& root : roots) {
        if (!out.empty()) out.append(", ");
        out.append(PrintedText::forTerminal(root.native()));
    }
    return out;
}

}  // namespace

std::string document(const MachineSnapshot& snapshot, Instant now, const LocalCalendar& calendar) {
    std::string out;
    JsonWriter json(out);
    json.beginObject();
    json.key("sessions").beginArray();
    for (const SessionSummary& session : snapshot.sessions) writeSession(json, session, now);
    json.endArray();

    const TodayTotals today = todayTotals(snapshot.sessions, now, calendar);
    json.key("today").beginObject();
    json.key("tokens").value(today.tokens);
    json.key("workedSeconds").value(today.workedSeconds);
    json.key("activeSessions").value(activeCount(snapshot.sessions, now));
    json.endObject();

    json.key("rateLimits").beginObject();
    json.key("claude");
    writeWindow(json, snapshot, Agent::claude);
    json.key("codex");
    writeWindow(json, snapshot, Agent::codex);
    json.endObject();

    json.key("installed").beginObject();
    json.key("claude").value(snapshot.installs.agents.contains(Agent::claude));
    json.key("codex").value(snapshot.installs.agents.contains(Agent::codex));
    json.key("wrenmem").value(snapshot.installs.wrenMem);
    json.endObject();
    json.endObject();
    return out;
}

std::string nothingFoundNote(const std::vector<std::filesystem::path>& claudeRoots,
                             const std::vector<std::filesystem::path>& codexRoots) {
    if (claudeRoots.empty() && codexRoots.empty()) {
        return "wrenisland: no session found: this account has no home directory and neither "
               "CLAUDE_CONFIG_DIR nor CODEX_HOME is set\n";
    }
    std::vector<std::filesystem::path> all = claudeRoots;
    all.insert(all.end(), codexRoots.begin(), codexRoots.end());
    return "wrenisland: no session active in the last 24 hours under " + joinedPaths(all) + "\n";
}

int run(std::FILE* out, std::FILE* err) {
    const MachineSnapshot snapshot = MachineSnapshot::read(kSessionLimit);
    const std::string text = document(snapshot, systemNow(), LocalCalendar()) + "\n";
    std::fwrite(text.data(), 1, text.size(), out);
    const bool written = std::fflush(out) == 0 && std::ferror(out) == 0;
    const int error = errno;
    Profile::flush("snapshot");
    if (snapshot.sessions.empty()) {
        const std::string note = nothingFoundNote(AgentRoots::claude(), AgentRoots::codex());
        std::fputs(note.c_str(), err);
    }
    if (written) return 0;
    std::fprintf(err, "wrenisland: cannot write the snapshot: %s\n", std::strerror(error));
    return 1;
}

}  // namespace wren::JsonSnapshot
