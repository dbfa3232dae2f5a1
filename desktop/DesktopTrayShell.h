#pragma once

#include "desktop/TrayShell.h"

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <vector>

class BalloonService;
class StatusNotifierHostWatch;
class StatusNotifierItem;

/// The desktop's own notification area: the icon through Qt's tray icon (a StatusNotifierItem
/// or an X11 system tray icon, whichever the desktop offered when the program started), or
/// through a StatusNotifierItem of our own when a StatusNotifier host comes up later; balloons
/// through the freedesktop notification service.
///
/// Create it before anything else in the program touches QSystemTrayIcon: Qt chooses its tray
/// protocol once per process, at the first QSystemTrayIcon, and this class mirrors that choice.
class DesktopTrayShell : public TrayShell
{
    Q_OBJECT

  public:
    /// How the icon reaches the desktop at the moment.
    enum class Route {
        None,              ///< no icon wanted, or no tray to show it in yet
        QtStatusNotifier,  ///< Qt's tray icon, as a StatusNotifierItem
        QtSystemTray,      ///< Qt's tray icon, docked in an X11 system tray (XEmbed)
        OwnStatusNotifier, ///< our StatusNotifierItem, for a host that came after start
    };

    explicit DesktopTrayShell(QObject* parent = nullptr);
    ~DesktopTrayShell() override;

    void notifyIcon(TrayRecord::Command command, const TrayRecord::Record& record) override;
    bool notificationAreaAvailable() const override;

    /// How the icon is shown now; for diagnostics and desktop tests.
    Route route() const;

  private:
    void updateIcon();
    void onQtActivated(QSystemTrayIcon::ActivationReason reason);
    void sendNotices(const std::vector<TrayNotice>& notices);
    bool systemTrayPresent() const;

  private Q_SLOTS:
    /// Tells the tray control when the notification area has come or gone.
    void checkAvailability();

  private:
    StatusNotifierHostWatch* m_hostWatch;
    /// Qt's once-per-process choice: true when a StatusNotifier host was there at its first use.
    bool m_qtUsesStatusNotifier;
    QSystemTrayIcon* m_qtIcon;
    StatusNotifierItem* m_ownItem = nullptr;
    BalloonService* m_balloons;
    /// On X11 Qt can dock the icon in a system tray (XEmbed), also one that appears later.
    const bool m_x11;
    bool m_lastAvailable = false;

    bool m_added = false;
    int m_id = 0;
    QIcon m_icon;
    QString m_tip;
};
