#pragma once

#include <QDBusConnection>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <atomic>

/// The watcher as it appears on the bus. It lives in a thread of its own: the code under test
/// asks it synchronously, which an object in the test's own thread could not answer.
class StatusNotifierWatcherObject : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(
        bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered SCRIPTABLE true)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items SCRIPTABLE true)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion SCRIPTABLE true)

  public:
    bool isStatusNotifierHostRegistered() const
    {
        QMutexLocker lock(&m_mutex);
        return m_host;
    }
    QStringList items()
    {
        if (m_hostOnItemsRead.exchange(false)) // a host comes up as the list is asked for
            registerHost();
        QMutexLocker lock(&m_mutex);
        return m_items;
    }
    int protocolVersion() const { return 0; }

    void setHost(bool host)
    {
        QMutexLocker lock(&m_mutex);
        m_host = host;
    }
    void clearItems()
    {
        QMutexLocker lock(&m_mutex);
        m_items.clear();
    }

  public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service)
    {
        {
            QMutexLocker lock(&m_mutex);
            m_items.append(service);
        }
        Q_EMIT StatusNotifierItemRegistered(service);
    }
    void dropItem(const QString& service)
    {
        {
            QMutexLocker lock(&m_mutex);
            m_items.removeAll(service);
        }
        Q_EMIT StatusNotifierItemUnregistered(service);
    }
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString&) { setHost(true); }
    void registerHost()
    {
        setHost(true);
        Q_EMIT StatusNotifierHostRegistered();
    }
    void registerHostOnItemsRead() { m_hostOnItemsRead = true; }

  Q_SIGNALS:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& service);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString& service);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();
    Q_SCRIPTABLE void StatusNotifierHostUnregistered();

  private:
    mutable QMutex m_mutex;
    bool m_host = false;
    QStringList m_items;
    std::atomic<bool> m_hostOnItemsRead = false;
};

/// A StatusNotifierWatcher (org.kde.StatusNotifierWatcher) with or without a host, driven from
/// the test's thread.
class FakeStatusNotifierWatcher
{
  public:
    FakeStatusNotifierWatcher()
    {
        m_thread.start();
        m_watcher->moveToThread(&m_thread);
        inWatcherThread([this] {
            m_bus = std::make_unique<QDBusConnection>(
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName));
            m_bus->registerObject(QStringLiteral("/StatusNotifierWatcher"), m_watcher,
                                  QDBusConnection::ExportScriptableContents);
        });
    }

    ~FakeStatusNotifierWatcher()
    {
        inWatcherThread([this] {
            m_bus->unregisterService(kService);
            m_bus->unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
            delete m_watcher;
            m_bus.reset();
            QDBusConnection::disconnectFromBus(kConnectionName);
        });
        m_thread.quit();
        m_thread.wait();
    }

    /// Takes the watcher's name on the bus, with a host registered or not.
    void start(bool withHost)
    {
        inWatcherThread([this, withHost] {
            m_watcher->setHost(withHost);
            m_watcher->clearItems();
            m_bus->registerService(kService);
        });
    }
    /// Gives the name up, as a panel that ends does.
    void stop()
    {
        inWatcherThread([this] { m_bus->unregisterService(kService); });
    }
    /// A host comes up beside the running watcher.
    void registerHost()
    {
        inWatcherThread([this] { m_watcher->registerHost(); });
    }
    /// A host comes up the moment the list of items is next asked for, before the answer.
    void registerHostOnItemsRead() { m_watcher->registerHostOnItemsRead(); }

    /// A host goes away; @p anotherStays: another host is still registered.
    void unregisterHost(bool anotherStays)
    {
        inWatcherThread([this, anotherStays] {
            m_watcher->setHost(anotherStays);
            Q_EMIT m_watcher->StatusNotifierHostUnregistered();
        });
    }

    /// The host drops an item, as one that could not read it does.
    void dropItem(const QString& service)
    {
        inWatcherThread([this, service] { m_watcher->dropItem(service); });
    }

    /// The services that registered items, in order.
    QStringList registeredItems() const { return m_watcher->items(); }

  private:
    template <typename F> void inWatcherThread(F f)
    {
        QMetaObject::invokeMethod(m_watcher, f, Qt::BlockingQueuedConnection);
    }

    inline static const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
    inline static const QString kConnectionName = QStringLiteral("fake-status-notifier-watcher");
    QThread m_thread;
    StatusNotifierWatcherObject* m_watcher = new StatusNotifierWatcherObject;
    std::unique_ptr<QDBusConnection> m_bus;
};
