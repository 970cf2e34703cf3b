#include "core/transcripts/reader_parts.h"

#include "core/transcripts/snr_estimate.h"
#include "core/transcripts/transcript_readers.h"

namespace wren::ReaderParts {

SessionSummary summary(Agent agent, Findings f) {
    SessionSummary s;
    s.id = std::string(idPrefix(agent)) + f.nativeID;
    s.agent = agent;
    s.project = SessionDiscovery::projectName(f.cwd);
    s.workingDirectory = std::move(f.cwd);
    s.lastActivity = f.lastActivity;
    s.lastUserMessage = std::move(f.lastMessage);
    s.turns = f.turns;
    s.contextWindow = f.contextWindow;
    s.reportedTokens = f.tokens;
    s.turn = f.turn;
    s.segments = SNREstimate::segments(f.tokens.value_or(0), f.turns, f.nativeID);
    s.nativeID = std::move(f.nativeID);
    return s;
}

}  // namespace wren::ReaderParts
