#pragma once

#include "desktop/TrayShell.h"

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <vector>

/// The Windows notification area through Qt's tray icon: the icon, its tooltip, the clicks on
/// it and its balloons. Windows puts the icon back itself when the taskbar restarts.
class WindowsTrayShell : public TrayShell
{
    Q_OBJECT

  public:
    explicit WindowsTrayShell(QObject* parent = nullptr);

    void notifyIcon(TrayRecord::Command command, const TrayRecord::Record& record) override;
    bool notificationAreaAvailable() const override;

  private:
    void takeFields(const TrayRecord::Record& record);
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void sendNotices(const std::vector<TrayNotice>& notices);

    QSystemTrayIcon* m_icon;
    bool m_added = false;
    int m_id = 0;
};
