#pragma once

#include "desktop/TrayRecord.h"

#include <QObject>

/// The desktop's notification area as the tray control sees it: it takes add, modify and
/// delete records and sends back mouse and balloon notices. The real one is DesktopTrayShell;
/// tests put a recording one in its place.
class TrayShell : public QObject
{
    Q_OBJECT

  public:
    using QObject::QObject;
    ~TrayShell() override = default;

    /// Carries out one record. Failures are not reported: the control never learns of them.
    virtual void notifyIcon(TrayRecord::Command command, const TrayRecord::Record& record) = 0;

    /// True when the desktop can show the icon now, so that a window hidden in the tray can
    /// be brought back with it.
    virtual bool notificationAreaAvailable() const = 0;

  Q_SIGNALS:
    /// A notice about the icon @p id or its balloon; @p notification is a TrayNotice value.
    void notice(int notification, int id);

    /// The notification area came up or went away.
    void notificationAreaAvailableChanged(bool available);
};
