#pragma once

#include <QObject>

class QSocketNotifier;

namespace wren {

/// Turns SIGTERM and SIGINT into a clean quit of the event loop (status 0): both signals are
/// blocked in every thread and read from a signalfd on the GUI thread.
class QuitSignals final : public QObject {
    Q_OBJECT

  public:
    /// Blocks both signals in the calling thread. Call it first thing in main(), before the
    /// toolkit or anything else starts a thread, so every thread inherits the mask.
    static void block();

    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    /// False when the signals could not be redirected (they then keep their default action).
    bool isActive() const { return fd_ >= 0; }

  signals:
    void quitRequested(int signal);

  private:
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace wren
