#include "app/dump.h"

#include <cerrno>
#include <cstring>

#include "machine/profile.h"
#include "machine/session_discovery.h"
#include "transcripts/agent.h"

namespace wren::Dump {
namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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

/// The length of the well-formed UTF-8 sequence of two or more bytes at `at`, or, when it is
/// not one, the length of its maximal ill-formed prefix (at least 1), which becomes one U+FFFD.
struct Sequence {
    std::size_t length;
    bool valid;
};

Sequence sequenceAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t need = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return {1, false};
    }
    for (std::size_t i = 1; i <= need; ++i) {
        if (at + i >= text.size()) return {i, false};
        const unsigned char next = byte(i);
        const bool fits = i == 1 ? (next >= low && next <= high) : (next >= 0x80 && next <= 0xBF);
        if (!fits) return {i, false};
    }
    return {need + 1, true};
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
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x20 || byte == 0x7F) {
            appendControl(out, byte);
            ++at;
        } else if (byte == '\\') {
            out.append("\\\\");
            ++at;
        } else if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            ++at;
        } else {
            const Sequence sequence = sequenceAt(text, at);
            const auto second = sequence.length > 1 ? static_cast<unsigned char>(text[at + 1]) : 0;
            if (!sequence.valid) {
                out.append(kReplacement);
            } else if (byte == 0xC2 && second <= 0x9F) {  // U+0080..U+009F, the C1 controls
                out.append("\\u00");
                out.push_back(kHex[second >> 4]);
                out.push_back(kHex[second & 0xF]);
            } else {
                out.append(text.substr(at, sequence.length));
            }
            at += sequence.length;
        }
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
    for (const SessionSummary& session : SessionDiscovery::discover(kLimit)) {
        const std::string text = line(session);
        std::fwrite(text.data(), 1, text.size(), out);
    }
    const bool written = std::fflush(out) == 0 && std::ferror(out) == 0;
    const int error = errno;
    Profile::flush("discovery");
    if (written) return 0;
    std::fprintf(stderr, "wrenisland: cannot write the session list: %s\n", std::strerror(error));
    return 1;
}

}  // namespace wren::Dump
