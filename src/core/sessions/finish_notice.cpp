#include "core/sessions/finish_notice.h"

#include <algorithm>

#include "core/sessions/context_model.h"

namespace wren {

std::vector<SessionSummary> FinishWatch::update(const std::vector<SessionSummary>& sessions,
                                                Instant now) {
    std::vector<SessionSummary> finished;
    std::vector<std::string> working;
    for (const SessionSummary& s : sessions) {
        const Activity activity = activityOf(s.turn, s.lastActivity, now);
        if (activity == Activity::working) working.push_back(s.id);
        const bool wasWorking = std::find(working_.begin(), working_.end(), s.id) != working_.end();
        if (activity == Activity::finished && wasWorking) finished.push_back(s);
    }
    working_ = std::move(working);
    return finished;
}

std::string escapeMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

FinishNotice finishNotice(const SessionSummary& session) {
    FinishNotice notice;
    notice.title = std::string(rawValue(session.agent)) + " finished \u00b7 " + session.project;
    notice.body = escapeMarkup(session.lastUserMessage.value_or(""));
    return notice;
}

std::int64_t waitingCount(const std::vector<SessionSummary>& sessions, Instant now) {
    const Instant cutoff = now - Seconds(ContextModel::kActiveSeconds);
    return std::count_if(sessions.begin(), sessions.end(), [&](const SessionSummary& s) {
        return s.lastActivity >= cutoff &&
               activityOf(s.turn, s.lastActivity, now) == Activity::finished;
    });
}

}  // namespace wren
