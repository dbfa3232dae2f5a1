#include "desktop/StatusNotifierHostWatch.h"

#include "desktop/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>

namespace {

QDBusMessage watcherPropertyQuery(const QString& property)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        StatusNotifierItem::kWatcherService, StatusNotifierItem::kWatcherPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << StatusNotifierItem::kWatcherService << property;
    // A watcher that is not running is not started just to ask it.
    message.setAutoStartService(false);
    return message;
}

QDBusMessage hostRegisteredQuery()
{
    return watcherPropertyQuery(QStringLiteral("IsStatusNotifierHostRegistered"));
}

QDBusMessage itemsQuery()
{
    return watcherPropertyQuery(QStringLiteral("RegisteredStatusNotifierItems"));
}

// The bus name in a watcher's entry for an item: KDE's watcher writes "<name>/<path>", GNOME's
// AppIndicator extension "<name>@<path>" or the name alone; neither character is in a name.
QString busNameOf(const QString& entry)
{
    const auto end =
        std::find_if(entry.cbegin(), entry.cend(), [](QChar c) { return c == u'/' || c == u'@'; });
    return entry.left(end - entry.cbegin());
}

} // namespace

StatusNotifierHostWatch::StatusNotifierHostWatch(QObject* parent, int firstCheckTimeoutMs)
    : QObject(parent), m_bus(QDBusConnection::sessionBus())
{
    if (!m_bus.isConnected())
        return;
    // Listening starts before the first check: a panel that comes up while the program starts
    // (at log-on, often) is then either in the check's answer or in a signal after it. The
    // other way round, a host that registered between the two would never be seen.
    m_serviceWatcher = new QDBusServiceWatcher(StatusNotifierItem::kWatcherService, m_bus,
                                               QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        ask();
        askForItems();
    });
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        update(false);
        updateItemListed(false);
    });
    m_bus.connect(StatusNotifierItem::kWatcherService, StatusNotifierItem::kWatcherPath,
                  StatusNotifierItem::kWatcherService,
                  QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(onHostRegistered()));
    m_bus.connect(StatusNotifierItem::kWatcherService, StatusNotifierItem::kWatcherPath,
                  StatusNotifierItem::kWatcherService,
                  QStringLiteral("StatusNotifierHostUnregistered"), this,
                  SLOT(onHostUnregistered()));
    for (const char* change : {"StatusNotifierItemRegistered", "StatusNotifierItemUnregistered"})
        m_bus.connect(StatusNotifierItem::kWatcherService, StatusNotifierItem::kWatcherPath,
                      StatusNotifierItem::kWatcherService, QLatin1String(change), this,
                      SLOT(askForItems()));

    m_hostRegistered = hostRegisteredNow(m_bus, firstCheckTimeoutMs);
    m_itemListed = listsItemOfThisProcess(itemsNow(firstCheckTimeoutMs));
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

void StatusNotifierHostWatch::askForItems()
{
    const quint64 asked = ++m_lastAskedForItems;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(itemsQuery()), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, asked](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (asked != m_lastAskedForItems)
                    return;
                const QDBusPendingReply<QDBusVariant> reply = *w;
                updateItemListed(!reply.isError() &&
                                 listsItemOfThisProcess(reply.value().variant().toStringList()));
            });
}

void StatusNotifierHostWatch::waitForItem(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_itemListed && !deadline.hasExpired()) {
        ++m_lastAskedForItems; // an answer to an earlier question is older than this one
        updateItemListed(
            listsItemOfThisProcess(itemsNow(static_cast<int>(deadline.remainingTime()))));
        if (!m_itemListed)
            QThread::msleep(20);
    }
}

QStringList StatusNotifierHostWatch::itemsNow(int timeoutMs) const
{
    if (!m_bus.isConnected())
        return {};
    const QDBusMessage reply = m_bus.call(itemsQuery(), QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toStringList();
}

bool StatusNotifierHostWatch::listsItemOfThisProcess(const QStringList& items) const
{
    // Entries name the item's bus name, not always the unique one of the connection that
    // registered it; the bus knows which process owns each name.
    const auto ownPid = static_cast<uint>(QCoreApplication::applicationPid());
    for (const QString& entry : items) {
        const QDBusReply<uint> pid = m_bus.interface()->servicePid(busNameOf(entry));
        if (pid.isValid() && pid.value() == ownPid)
            return true;
    }
    return false;
}

void StatusNotifierHostWatch::updateItemListed(bool listed)
{
    if (listed == m_itemListed)
        return;
    m_itemListed = listed;
    Q_EMIT itemListedChanged(listed);
}
