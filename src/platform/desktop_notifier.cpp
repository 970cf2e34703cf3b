#include "platform/desktop_notifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace wren {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(closed(uint, uint)));
}

std::optional<QString> DesktopNotifier::unavailableReason() const {
    if (!bus_.isConnected() || bus_.interface() == nullptr) {
        return QStringLiteral("no desktop session bus");
    }
    QDBusConnectionInterface* bus = bus_.interface();
    if (bus->isServiceRegistered(kService).value()) return std::nullopt;
    // Many desktops start their notification daemon on the first call.
    const QDBusReply<QStringList> activatable = bus->activatableServiceNames();
    if (activatable.isValid() && activatable.value().contains(kService)) return std::nullopt;
    return QStringLiteral("no notification service is running");
}

void DesktopNotifier::notify(const QString& title, const QString& body,
                             std::function<void()> onDefault) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("WrenIsland") << uint(0) << QStringLiteral("wrenisland") << title << body
         << QStringList{QStringLiteral("default"), QStringLiteral("Open")}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("wrenisland")}} << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, onDefault = std::move(onDefault)](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                if (!reply.isError()) waiting_[reply.value()] = onDefault;
                done->deleteLater();
            });
}

void DesktopNotifier::actionInvoked(uint id, const QString& action) {
    const auto found = waiting_.find(id);
    if (found == waiting_.end() || action != QStringLiteral("default")) return;
    const std::function<void()> run = found->second;
    waiting_.erase(found);
    if (run) run();
}

void DesktopNotifier::closed(uint id, uint) {
    waiting_.erase(id);
}

}  // namespace wren
