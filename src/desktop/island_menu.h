#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

#include "core/system/settings.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace wren {

/// The island's one menu, in the tray (either click) and on the open island's right click:
/// "Start at login", the remembered choices, and Quit (also Ctrl+Q while it is open). Holds the
/// choices, read once at start and written only when the user changes one; a failure to write
/// shows as a line in the menu. GUI thread only.
class IslandMenu final : public QObject {
    Q_OBJECT

  public:
    /// `notificationsUnavailable`: why no notification can be shown now, or nothing.
    IslandMenu(Settings settings, std::function<std::optional<QString>()> notificationsUnavailable,
               QObject* parent = nullptr);
    ~IslandMenu() override;

    const Settings& settings() const { return settings_; }
    void popup(QPoint global);

  Q_SIGNALS:
    void overTopPanelChanged();
    void showOverFullScreenChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void addStartAtLogin();
    /// A checkable item for one choice; `changed` runs after the choice is written.
    QAction* addChoice(const QString& label, bool Settings::*choice, std::function<void()> changed);
    void addNotifyWhenFinished();
    void showTray();
    void saveSettings();

    Settings settings_;
    std::function<std::optional<QString>()> notificationsUnavailable_;
    QMenu* menu_;
    QSystemTrayIcon* tray_ = nullptr;
    QAction* settingsProblem_ = nullptr;
};

}  // namespace wren
