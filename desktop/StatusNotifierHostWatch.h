#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusServiceWatcher;

/// Follows whether a StatusNotifier host (a tray that shows StatusNotifierItems) is registered
/// with org.kde.StatusNotifierWatcher on the session bus, and whether the watcher lists an item
/// of this process: a host can drop an item it failed to read, and then the icon is gone
/// although the host is there. All calls after the first check are asynchronous, but for
/// waitForItem().
class StatusNotifierHostWatch : public QObject
{
    Q_OBJECT

  public:
    /// Watches the session bus; hostRegistered() holds the answer of a first, synchronous
    /// check bounded by @p firstCheckTimeoutMs.
    explicit StatusNotifierHostWatch(QObject* parent = nullptr, int firstCheckTimeoutMs = 2000);

    bool hostRegistered() const { return m_hostRegistered; }
    /// True while the watcher lists an item of this process.
    bool itemListed() const { return m_itemListed; }

    /// Waits at most @p timeoutMs for the watcher to list an item of this process, for the
    /// moment one has just been offered. Blocks: meant for the start only.
    void waitForItem(int timeoutMs);

    /// Asks the watcher once, waiting at most @p timeoutMs; false when there is no watcher,
    /// no host, or no answer in time.
    static bool hostRegisteredNow(const QDBusConnection& bus, int timeoutMs);

  Q_SIGNALS:
    void hostRegisteredChanged(bool registered);
    void itemListedChanged(bool listed);

  private Q_SLOTS:
    void onHostRegistered();
    void onHostUnregistered();
    void askForItems();

  private:
    void ask();
    void update(bool registered);
    void updateItemListed(bool listed);
    bool listsItemOfThisProcess(const QStringList& items) const;
    QStringList itemsNow(int timeoutMs) const;

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
    bool m_hostRegistered = false;
    quint64 m_lastAsked = 0;
    bool m_itemListed = false;
    quint64 m_lastAskedForItems = 0;
};
