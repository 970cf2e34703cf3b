#include "core/sessions/deep_link.h"

#include "core/sessions/uri_syntax.h"

namespace wren::SessionOpener {

std::string_view scheme(Agent agent) {
    return agent == Agent::claude ? "claude" : "codex";
}

std::optional<std::string> deepLink(const SessionSummary& session) {
    std::string link =
        session.agent == Agent::codex ? "codex://threads/" : "claude://resume?session=";
    link += session.nativeID;
    if (!isAbsoluteUri(link)) return std::nullopt;
    return link;
}

}  // namespace wren::SessionOpener
