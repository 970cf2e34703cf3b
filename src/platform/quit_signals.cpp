#include "platform/quit_signals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace wren {
namespace {

sigset_t quitSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

void QuitSignals::block() {
    const sigset_t set = quitSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    // A signalfd only sees signals that are blocked. Blocking here as well covers a caller that
    // forgot block(); threads started before that may still take the default action.
    block();
    const sigset_t set = quitSet();
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        // Nobody would read them: give the signals back their default action.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info;
        while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            emit quitRequested(static_cast<int>(info.ssi_signo));
        }
    });
}

QuitSignals::~QuitSignals() {
    delete notifier_;  // before the descriptor it watches goes
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace wren
