#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "core/sessions/finish_notice.h"

namespace wren {

class DesktopNotifier;
class WrenContextWidget;

/// One desktop notification each time a session of the widget goes from working to finished,
/// while `enabled` says so; picking it reopens the session. GUI thread only.
class FinishNotifications final : public QObject {
    Q_OBJECT

  public:
    FinishNotifications(WrenContextWidget& widget, std::function<bool()> enabled,
                        QObject* parent = nullptr);
    ~FinishNotifications() override;

    /// Why no notification can be shown now, or nothing when a service runs or can start.
    std::optional<QString> unavailableReason() const;

  private:
    void sessionsChanged();

    WrenContextWidget& widget_;
    std::function<bool()> enabled_;
    std::unique_ptr<DesktopNotifier> notifier_;
    FinishWatch watch_;
};

}  // namespace wren
