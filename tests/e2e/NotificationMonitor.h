#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

/// Watches the session bus (dbus-monitor) for the notifications that programs send to the
/// notification daemon, and gives the text arguments of each Notify call as the daemon
/// received them.
class NotificationMonitor
{
  public:
    /// A Notify call: the application name, the summary (title) and the body.
    struct Notify
    {
        QString appName;
        QString summary;
        QString body;
    };

    NotificationMonitor();
    ~NotificationMonitor();
    NotificationMonitor(const NotificationMonitor&) = delete;
    NotificationMonitor& operator=(const NotificationMonitor&) = delete;

    /// Starts dbus-monitor and waits until it listens. Returns false with \a error set.
    bool start(QString* error);
    /// The Notify calls seen so far.
    QList<Notify> notifies();

  private:
    QProcess m_monitor;
    QByteArray m_output;
};
