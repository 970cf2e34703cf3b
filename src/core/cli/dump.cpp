#include "core/cli/dump.h"

#include <cerrno>
#include <cstring>

#include "core/cli/json_snapshot.h"
#include "core/cli/printed_text.h"
#include "core/discovery/agent_roots.h"
#include "core/discovery/profile.h"
#include "core/discovery/session_discovery.h"
#include "core/transcripts/agent.h"

namespace wren::Dump {
namespace {

void appendNumber(std::string& out, const std::optional<std::int64_t>& value) {
    out.append(value ? std::to_string(*value) : std::string("nil"));
}

}  // namespace

bool requested(const char* value) {
    return value != nullptr && std::strcmp(value, "1") == 0;
}

std::string line(const SessionSummary& session) {
    std::string out(rawValue(session.agent));
    out.append("\t used=");
    appendNumber(out, session.reportedTokens);
    out.append("\t window=");
    appendNumber(out, session.contextWindow);
    out.append("\t ");
    out.append(PrintedText::forTerminal(session.project));
    out.append("\t ");
    out.append(PrintedText::forTerminal(session.nativeID));
    out.push_back('\n');
    return out;
}

int run(std::FILE* out) {
    const std::vector<SessionSummary> sessions = SessionDiscovery::discover(kLimit);
    for (const SessionSummary& session : sessions) {
        const std::string text = line(session);
        std::fwrite(text.data(), 1, text.size(), out);
    }
    const bool written = std::fflush(out) == 0 && std::ferror(out) == 0;
    const int error = errno;
    Profile::flush("discovery");
    if (sessions.empty()) {
        // Standard output keeps its format: no line is a session line.
        const std::string note =
            JsonSnapshot::nothingFoundNote(AgentRoots::claude(), AgentRoots::codex());
        std::fputs(note.c_str(), stderr);
    }
    if (written) return 0;
    std::fprintf(stderr, "wrenisland: cannot write the session list: %s\n", std::strerror(error));
    return 1;
}

}  // namespace wren::Dump
