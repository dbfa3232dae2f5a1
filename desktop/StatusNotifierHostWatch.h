#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusServiceWatcher;

/// Follows whether a StatusNotifier host (a tray that shows StatusNotifierItems) is registered
/// with org.kde.StatusNotifierWatcher on the session bus. All calls after the first check are
/// asynchronous.
class StatusNotifierHostWatch : public QObject
{
    Q_OBJECT

  public:
    /// Watches the session bus; hostRegistered() holds the answer of a first, synchronous
    /// check bounded by @p firstCheckTimeoutMs.
    explicit StatusNotifierHostWatch(QObject* parent = nullptr, int firstCheckTimeoutMs = 2000);

    bool hostRegistered() const { return m_hostRegistered; }

    /// Asks the watcher once, waiting at most @p timeoutMs; false when there is no watcher,
    /// no host, or no answer in time.
    static bool hostRegisteredNow(const QDBusConnection& bus, int timeoutMs);

  Q_SIGNALS:
    void hostRegisteredChanged(bool registered);

  private Q_SLOTS:
    void onHostRegistered();
    void onHostUnregistered();

  private:
    void ask();
    void update(bool registered);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
    bool m_hostRegistered = false;
    quint64 m_lastAsked = 0;
};
