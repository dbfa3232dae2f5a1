#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

/// A notification service (org.freedesktop.Notifications) on its own connection to the test's
/// private session bus: it writes down every call and sends the signals the test asks for.
class FakeNotifications : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    struct Notification
    {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0;
    };

    QList<Notification> notifications;
    QList<uint> closeCalls;
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions")};
    /// Answers to Notify are kept back until releaseReplies(); a hung service never releases.
    bool holdReplies = false;
    /// When positive, every notification expires by itself after this many milliseconds.
    int expireAfterMs = 0;

    explicit FakeNotifications(const QString& connectionName = QStringLiteral("fake-notifications"))
        : m_connectionName(connectionName),
          m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
    {
    }

    ~FakeNotifications() override
    {
        stop();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

    bool start()
    {
        return m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                    QDBusConnection::ExportAllSlots |
                                        QDBusConnection::ExportAllSignals) &&
               m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }

    void stop()
    {
        m_bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }

    void releaseReplies()
    {
        for (const auto& [message, id] : std::as_const(m_held))
            m_bus.send(message.createReply(QVariant::fromValue(id)));
        m_held.clear();
    }

    void close(uint id, uint reason) { Q_EMIT NotificationClosed(id, reason); }
    void invoke(uint id, const QString& key) { Q_EMIT ActionInvoked(id, key); }

  public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }

    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout)
    {
        const uint id = replacesId != 0 ? replacesId : ++m_lastId;
        notifications.append(
            {appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout, id});
        if (expireAfterMs > 0)
            QTimer::singleShot(expireAfterMs, this, [this, id] { close(id, 1); });
        if (holdReplies) {
            setDelayedReply(true);
            m_held.append({message(), id});
        }
        return id;
    }

    void CloseNotification(uint id)
    {
        closeCalls.append(id);
        Q_EMIT NotificationClosed(id, 3);
    }

  Q_SIGNALS:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString& actionKey);

  private:
    QString m_connectionName;
    QDBusConnection m_bus;
    uint m_lastId = 40;
    QList<std::pair<QDBusMessage, uint>> m_held;
};
