#include "widget/row_actions.h"

#include "machine/install_state.h"
#include "widget/session_opener.h"

namespace wren::RowActions {

HintChange openSession(const SessionSummary& session) {
    return SessionActions::openSession(session, AgentAvailability::isInstalled(session.agent),
                                       &SessionOpener::open);
}

HintChange start(Agent agent) {
    return SessionActions::start(agent, AgentAvailability::isInstalled(agent));
}

HintChange saveMemory() {
    return SessionActions::saveMemory(WrenMemPresence::isInstalled(),
                                      WrenMemPresence::learnMoreURL());
}

}  // namespace wren::RowActions
