#include "desktop/StatusNotifierHostWatch.h"

#include "desktop/StatusNotifierItem.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace {

QDBusMessage hostRegisteredQuery()
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        StatusNotifierItem::kWatcherService, StatusNotifierItem::kWatcherPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << StatusNotifierItem::kWatcherService
            << QStringLiteral("IsStatusNotifierHostRegistered");
    // A watcher that is not running is not started just to ask it.
    message.setAutoStartService(false);
    return message;
}

} // namespace

StatusNotifierHostWatch::StatusNotifierHostWatch(QObject* parent, int firstCheckTimeoutMs)
    : QObject(parent), m_bus(QDBusConnection::sessionBus())
{
    if (!m_bus.isConnected())
        return;
    m_hostRegistered = hostRegisteredNow(m_bus, firstCheckTimeoutMs);

    m_serviceWatcher = new QDBusServiceWatcher(StatusNotifierItem::kWatcherService, m_bus,
                                               QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this,
            &StatusNotifierHostWatch::ask);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { update(false); });
    m_bus.connect(StatusNotifierItem::kWatcherService, StatusNotifierItem::kWatcherPath,
                  StatusNotifierItem::kWatcherService,
                  QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(onHostRegistered()));
    m_bus.connect(StatusNotifierItem::kWatcherService, StatusNotifierItem::kWatcherPath,
                  StatusNotifierItem::kWatcherService,
                  QStringLiteral("StatusNotifierHostUnregistered"), this,
                  SLOT(onHostUnregistered()));
}

bool StatusNotifierHostWatch::hostRegisteredNow(const QDBusConnection& bus, int timeoutMs)
{
    if (!bus.isConnected())
        return false;
    const QDBusMessage reply = bus.call(hostRegisteredQuery(), QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

void StatusNotifierHostWatch::onHostRegistered()
{
    update(true);
}

void StatusNotifierHostWatch::onHostUnregistered()
{
    // Another host may still be there: ask rather than guess.
    ask();
}

void StatusNotifierHostWatch::ask()
{
    const quint64 asked = ++m_lastAsked;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(hostRegisteredQuery()), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, asked](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                // Only the latest question counts: answers may come back out of order.
                if (asked != m_lastAsked)
                    return;
                const QDBusPendingReply<QDBusVariant> reply = *w;
                update(!reply.isError() && reply.value().variant().toBool());
            });
}

void StatusNotifierHostWatch::update(bool registered)
{
    if (registered == m_hostRegistered)
        return;
    m_hostRegistered = registered;
    Q_EMIT hostRegisteredChanged(registered);
}
