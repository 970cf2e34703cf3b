#include "app/dump.h"

#include <cerrno>
#include <cstring>

#include "app/json_snapshot.h"
#include "app/utf8.h"
#include "machine/agent_roots.h"
#include "machine/profile.h"
#include "machine/session_discovery.h"
#include "transcripts/agent.h"

namespace wren::Dump {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendControl(std::string& out, unsigned char byte) {
    switch (byte) {
        case '\t':
            out.append("\\t");
            return;
        case '\n':
            out.append("\\n");
            return;
        case '\r':
            out.append("\\r");
            return;
        default:
            out.append("\\x");
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
    }
}

void appendCodePoint(std::string& out, char32_t c) {
    out.append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
}

void appendNumber(std::string& out, const std::optional<std::int64_t>& value) {
    out.append(value ? std::to_string(*value) : std::string("nil"));
}

}  // namespace

bool requested(const char* value) {
    return value != nullptr && std::strcmp(value, "1") == 0;
}

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const Utf8::Step step = Utf8::at(text, at);
        const char32_t c = step.codePoint;
        if (!step.valid) {
            out.append(Utf8::kReplacement);
        } else if (c < 0x20 || c == 0x7F) {
            appendControl(out, static_cast<unsigned char>(c));
        } else if (c == '\\') {
            out.append("\\\\");
        } else if (Utf8::isC1Control(c) || Utf8::reordersText(c)) {
            appendCodePoint(out, c);
        } else {
            out.append(text.substr(at, step.length));
        }
        at += step.length;
    }
    return out;
}

std::string line(const SessionSummary& session) {
    std::string out(rawValue(session.agent));
    out.append("\t used=");
    appendNumber(out, session.reportedTokens);
    out.append("\t window=");
    appendNumber(out, session.contextWindow);
    out.append("\t ");
    out.append(escaped(session.project));
    out.append("\t ");
    out.append(escaped(session.nativeID));
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
