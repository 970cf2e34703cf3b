#include "desktop/island_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalBlocker>
#include <QSystemTrayIcon>

#include "core/system/autostart.h"
#include "core/system/program_paths.h"

namespace wren {
namespace {

// The application's own icon, at every size the packaging ships small enough for a tray.
QIcon trayIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        icon.addFile(
            QStringLiteral(":/app/%1x%1/apps/io.github.wrenisland.WrenIsland.png").arg(size),
            QSize(size, size));
    }
    return icon;
}

// A path may hold "&", which a menu would take for a mnemonic.
QString menuText(const QString& lead, const std::string& error) {
    return lead + QString::fromStdString(error).replace(u'&', QStringLiteral("&&"));
}

}  // namespace

IslandMenu::IslandMenu(Settings settings,
                       std::function<std::optional<QString>()> notificationsUnavailable,
                       QObject* parent)
    : QObject(parent),
      settings_(settings),
      notificationsUnavailable_(std::move(notificationsUnavailable)),
      menu_(new QMenu()) {
    menu_->setAttribute(Qt::WA_DeleteOnClose, false);
    QAction* caption = menu_->addAction(QStringLiteral("WrenIsland \u2014 prototype"));
    caption->setEnabled(false);
    menu_->addSeparator();
    addStartAtLogin();
    addChoice(QStringLiteral("Over the top panel"), &Settings::overTopPanel,
              [this] { Q_EMIT overTopPanelChanged(); });
    addChoice(QStringLiteral("Show over full-screen windows"), &Settings::showOverFullScreen,
              [this] { Q_EMIT showOverFullScreenChanged(); });
    addNotifyWhenFinished();
    // Shown only when a choice could not be remembered, saying why.
    settingsProblem_ = menu_->addAction(QString());
    settingsProblem_->setEnabled(false);
    settingsProblem_->setVisible(false);
    QAction* quit = menu_->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutVisibleInContextMenu(true);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    menu_->installEventFilter(this);
    showTray();
}

IslandMenu::~IslandMenu() {
    delete menu_;  // a top-level popup has no parent to take it
}

void IslandMenu::popup(QPoint global) {
    menu_->popup(global);
}

bool IslandMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched == menu_ &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        // An open popup takes the keyboard, and Qt matches no action shortcut inside it.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Q && (key->modifiers() & Qt::ControlModifier)) {
            menu_->close();
            QCoreApplication::quit();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void IslandMenu::showTray() {
    // A tray may also appear later; the island's own right click always offers the same menu.
    tray_ = new QSystemTrayIcon(trayIcon(), this);
    tray_->setToolTip(QStringLiteral("WrenIsland"));
    tray_->setContextMenu(menu_);
    // A left click opens the same menu, as on other Linux trays.
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) menu_->popup(QCursor::pos());
            });
    tray_->show();
}

void IslandMenu::addStartAtLogin() {
    QAction* login = menu_->addAction(QStringLiteral("Start at login"));
    login->setCheckable(true);
    // Shown only when a change could not be made, saying why.
    QAction* problem = menu_->addAction(QString());
    problem->setEnabled(false);
    problem->setVisible(false);

    // The entry may have been added or removed behind our back: ask the disk each time.
    connect(menu_, &QMenu::aboutToShow, login, [login] {
        const QSignalBlocker quiet(login);
        login->setChecked(Autostart::isEnabled(Autostart::entryPath()));
    });
    connect(login, &QAction::toggled, this, [login, problem](bool on) {
        const std::filesystem::path entry = Autostart::entryPath();
        const std::optional<std::string> error =
            on ? Autostart::enable(entry,
                                   Autostart::entryText(ProgramPaths::command(
                                       QCoreApplication::applicationFilePath().toStdString())))
               : Autostart::disable(entry);
        problem->setVisible(error.has_value());
        if (!error) return;
        const QSignalBlocker quiet(login);
        login->setChecked(!on);
        problem->setText(menuText(QStringLiteral("Could not change it: "), *error));
    });
}

QAction* IslandMenu::addChoice(const QString& label, bool Settings::*choice,
                               std::function<void()> changed) {
    QAction* item = menu_->addAction(label);
    item->setCheckable(true);
    item->setChecked(settings_.*choice);
    connect(item, &QAction::toggled, this, [this, choice, changed = std::move(changed)](bool on) {
        settings_.*choice = on;
        saveSettings();
        changed();
    });
    return item;
}

void IslandMenu::addNotifyWhenFinished() {
    const QString label = QStringLiteral("Notify when an agent finishes");
    QAction* notify = addChoice(label, &Settings::notifyWhenFinished, [] {});
    // Where nothing can show a notification the item says why and stays off; a service may
    // start later, so the bus is asked again each time the menu opens.
    const auto follow = [this, notify, label] {
        const std::optional<QString> reason = notificationsUnavailable_();
        const QSignalBlocker quiet(notify);
        notify->setEnabled(!reason);
        notify->setChecked(!reason && settings_.notifyWhenFinished);
        notify->setText(reason ? label + QStringLiteral(" (") + *reason + QStringLiteral(")")
                               : label);
    };
    follow();
    connect(menu_, &QMenu::aboutToShow, notify, follow);
}

void IslandMenu::saveSettings() {
    // A choice that cannot be written still holds until the island quits.
    const std::optional<std::string> error = settings_.save(Settings::userPath());
    settingsProblem_->setVisible(error.has_value());
    if (error)
        settingsProblem_->setText(menuText(QStringLiteral("Could not remember it: "), *error));
}

}  // namespace wren
