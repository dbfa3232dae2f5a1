#pragma once

#include "desktop/TrayShell.h"

#include <QList>

/// A notification area that only writes down what the tray control sends it and sends the
/// notices a test asks for.
class RecordingTrayShell : public TrayShell
{
    Q_OBJECT

  public:
    struct Call
    {
        TrayRecord::Command command;
        TrayRecord::Record record;
    };

    QList<Call> calls;
    bool available = true;

    void notifyIcon(TrayRecord::Command command, const TrayRecord::Record& record) override
    {
        calls.append({command, record});
    }

    bool notificationAreaAvailable() const override { return available; }

    /// The desktop's notification area comes up or goes away.
    void setAvailable(bool on)
    {
        available = on;
        Q_EMIT notificationAreaAvailableChanged(on);
    }

    void send(TrayNotice notification, int id = 0)
    {
        Q_EMIT notice(static_cast<int>(notification), id);
    }
};
