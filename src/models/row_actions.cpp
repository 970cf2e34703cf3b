#include "models/row_actions.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <QUrl>

#include "core/discovery/install_state.h"
#include "core/system/clean_launch.h"
#include "platform/session_opener.h"

namespace wren {
namespace {

void openWithDesktop(const QString& url) {
    // Not QDesktopServices: its xdg-open would inherit the island's blocked signals.
    CleanLaunch::startDetached("xdg-open", {QUrl(url).toString(QUrl::FullyEncoded).toStdString()});
}

// `work` on a pool thread; its answer goes to `done` on the GUI thread.
void inBackground(std::function<HintChange()> work, RowActionHandlers::Done done) {
    QThreadPool::globalInstance()->start([work = std::move(work), done = std::move(done)] {
        HintChange change = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [done, change = std::move(change)] { done(change); },
            Qt::QueuedConnection);
    });
}

}  // namespace

RowActionHandlers RowActionHandlers::immediate() {
    RowActionHandlers h;
    h.open = [](const SessionSummary& s, Done done) { done(RowActions::openSession(s)); };
    h.start = [](Agent agent, Done done) { done(RowActions::start(agent)); };
    h.saveMemory = [](Done done) { done(RowActions::saveMemory()); };
    h.openLink = &openWithDesktop;
    return h;
}

RowActionHandlers RowActionHandlers::inBackground() {
    RowActionHandlers h;
    h.open = [](const SessionSummary& s, Done done) {
        wren::inBackground([s] { return RowActions::openSession(s); }, std::move(done));
    };
    h.start = [](Agent agent, Done done) {
        wren::inBackground([agent] { return RowActions::start(agent); }, std::move(done));
    };
    h.saveMemory = [](Done done) {
        wren::inBackground([] { return RowActions::saveMemory(); }, std::move(done));
    };
    h.openLink = &openWithDesktop;
    return h;
}

}  // namespace wren

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
