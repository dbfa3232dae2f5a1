#include "desktop/BalloonService.h"

#include "core/ProductInfo.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QVariantMap>

const QString BalloonService::kService = QStringLiteral("org.freedesktop.Notifications");
const QString BalloonService::kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString BalloonService::kInterface = QStringLiteral("org.freedesktop.Notifications");

namespace {
const QString kDefaultAction = QStringLiteral("default");
} // namespace

BalloonService::BalloonService(QObject* parent)
    : BalloonService(QDBusConnection::sessionBus(), parent)
{
}

BalloonService::BalloonService(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));

    // A service that starts anew may speak markup where the one before did not, and it has
    // forgotten our balloon.
    m_serviceWatcher =
        new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] {
        if (m_capabilities == Capabilities::Known)
            m_capabilities = Capabilities::Unknown;
        m_currentId = 0;
    });
}

void BalloonService::show(const QString& title, const QString& text, int timeoutMs)
{
    Balloon balloon{title, text, timeoutMs};
    balloon.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_wanted = ++m_lastSequence;
    if (!m_bus.isConnected())
        return;
    if (m_capabilities != Capabilities::Known) {
        // Whether the body is markup decides how it is written: wait for the answer first.
        m_waitingForCapabilities = balloon;
        askCapabilities();
        return;
    }
    sendNotify(balloon, m_wanted);
}

void BalloonService::close()
{
    m_wanted = 0;
    m_waitingForCapabilities.reset();
    if (m_currentId != 0) {
        sendClose(m_currentId);
        m_currentId = 0;
    }
}

void BalloonService::askCapabilities()
{
    if (m_capabilities == Capabilities::Asking)
        return;
    m_capabilities = Capabilities::Asking;
    const QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                                QStringLiteral("GetCapabilities"));
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        m_bodyMarkup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        m_capabilities = Capabilities::Known;
        if (m_waitingForCapabilities) {
            const Balloon balloon = *m_waitingForCapabilities;
            m_waitingForCapabilities.reset();
            sendNotify(balloon, m_wanted);
        }
    });
}

void BalloonService::sendNotify(const Balloon& balloon, quint64 sequence)
{
    // Replacing the balloon that is up keeps one balloon per icon, as a tray does.
    const uint replacesId = m_currentId;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), ProductInfo::kAppId);
    const QString body = m_bodyMarkup ? balloon.text.toHtmlEscaped() : balloon.text;
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    message << ProductInfo::kProductName << replacesId << ProductInfo::kAppId << balloon.title
            << body << QStringList{kDefaultAction, ProductInfo::kProductName} << hints
            << (balloon.timeoutMs > 0 ? balloon.timeoutMs : -1);

    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, sequence](QDBusPendingCallWatcher* w) { notifyAnswered(w, sequence); });
}

void BalloonService::notifyAnswered(QDBusPendingCallWatcher* call, quint64 sequence)
{
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError())
        return;
    const uint id = reply.value();
    if (sequence != m_wanted) {
        // Taken down or replaced before the service answered.
        if (id != m_currentId)
            sendClose(id);
        return;
    }
    m_currentId = id;
    m_currentSequence = sequence;
    Q_EMIT shown();
}

void BalloonService::sendClose(uint id)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                          QStringLiteral("CloseNotification"));
    message << id;
    m_bus.asyncCall(message);
}

void BalloonService::onNotificationClosed(uint id, uint reason)
{
    if (id == 0 || id != m_currentId)
        return;
    m_currentId = 0;
    // A newer balloon is on its way under the same id: this notice is not about it.
    if (m_currentSequence != m_wanted)
        return;
    m_wanted = 0;
    const auto why =
        reason >= 1 && reason <= 3 ? static_cast<CloseReason>(reason) : CloseReason::Other;
    Q_EMIT closed(why);
}

void BalloonService::onActionInvoked(uint id, const QString& actionKey)
{
    Q_UNUSED(actionKey);
    if (id == 0 || id != m_currentId || m_currentSequence != m_wanted)
        return;
    // The service usually reports the balloon closed right after: that notice is not needed.
    m_currentId = 0;
    m_wanted = 0;
    Q_EMIT clicked();
}
