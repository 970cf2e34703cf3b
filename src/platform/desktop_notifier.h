#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>

namespace wren {

/// Desktop notifications through the freedesktop notification service
/// (org.freedesktop.Notifications) on a D-Bus session bus. Never blocks on the service's answer:
/// each notification is sent asynchronously, and its default action, when the user picks it,
/// runs the callback given with it. GUI thread only.
class DesktopNotifier final : public QObject {
    Q_OBJECT

  public:
    /// Talks to the service on `bus` (the user's session bus by default).
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

    /// Why notifications cannot be shown, or nothing when a service runs or can be started.
    /// Asks the bus each time, so a service that starts later is found.
    std::optional<QString> unavailableReason() const;

    /// Shows one notification. `body` goes out as it is: callers escape what servers might
    /// read as markup. `onDefault` runs when the user picks the notification.
    void notify(const QString& title, const QString& body, std::function<void()> onDefault);

  private Q_SLOTS:
    // The service's signals, for every notification on the bus; only ours are acted on.
    void actionInvoked(uint id, const QString& action);
    void closed(uint id, uint reason);

  private:
    QDBusConnection bus_;
    std::map<uint, std::function<void()>> waiting_;  // by the service's notification id
};

}  // namespace wren
