#include "platform/desktop_notifier.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

namespace wren {
namespace {

// A private session bus with no service files, so nothing but what a test registers exists.
class PrivateBus {
  public:
    PrivateBus() {
        const QString config = dir_.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        file.open(QIODevice::WriteOnly);
        file.write(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
            "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
            "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        file.close();
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
        if (daemon_.waitForReadyRead(10000))
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
        daemon_.kill();
        daemon_.waitForFinished();
    }
    bool running() const { return !address_.isEmpty(); }
    QDBusConnection connect(const QString& name) {
        names_.push_back(name);
        return QDBusConnection::connectToBus(address_, name);
    }

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

// Stands in for a notification server: records what it is asked to show.
class FakeServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    QStringList summaries, bodies, actions;

  public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actionList, const QVariantMap&, int) {
        summaries << summary;
        bodies << body;
        actions = actionList;
        return 40 + static_cast<uint>(summaries.size());
    }
};

TEST(DesktopNotifier, SaysWhyWithoutAServiceAndOpensOnTheDefaultAction) {
    PrivateBus bus;
    if (!bus.running()) GTEST_SKIP() << "dbus-daemon could not start";
    QDBusConnection client = bus.connect(QStringLiteral("wren-client"));
    ASSERT_TRUE(client.isConnected());
    DesktopNotifier notifier(client);
    EXPECT_EQ(notifier.unavailableReason(), QStringLiteral("no notification service is running"));

    QDBusConnection service = bus.connect(QStringLiteral("wren-server"));
    FakeServer server;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    EXPECT_EQ(notifier.unavailableReason(), std::nullopt);

    int opened = 0;
    notifier.notify(QStringLiteral("Codex finished \u00b7 site"), QStringLiteral("a &lt; b"),
                    [&] { ++opened; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.summaries.isEmpty(); }, 10000));
    EXPECT_EQ(server.summaries, QStringList{QStringLiteral("Codex finished \u00b7 site")});
    EXPECT_EQ(server.bodies, QStringList{QStringLiteral("a &lt; b")});
    EXPECT_TRUE(server.actions.contains(QStringLiteral("default")));

    const auto emitSignal = [&](const QString& name, QVariantList arguments) {
        QDBusMessage signal =
            QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                       QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(arguments);
        service.send(signal);
    };
    // Another program's notification, and another action of ours, open nothing. (Messages from
    // one connection arrive in order, so the reply with our id comes before these.)
    emitSignal(QStringLiteral("ActionInvoked"), {uint(99), QStringLiteral("default")});
    emitSignal(QStringLiteral("ActionInvoked"), {uint(41), QStringLiteral("other")});
    emitSignal(QStringLiteral("ActionInvoked"), {uint(41), QStringLiteral("default")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened > 0; }, 10000));
    EXPECT_EQ(opened, 1);
    // Picked once: a repeat of the signal does not reopen it. A second notification's action,
    // sent after the repeat, marks when the repeat has surely been handled.
    emitSignal(QStringLiteral("ActionInvoked"), {uint(41), QStringLiteral("default")});
    int second = 0;
    notifier.notify(QStringLiteral("Claude finished · api"), QString(), [&] { ++second; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.summaries.size() == 2; }, 10000));
    emitSignal(QStringLiteral("ActionInvoked"), {uint(42), QStringLiteral("default")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return second > 0; }, 10000));
    EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace wren

#include "desktop_notifier_test.moc"
