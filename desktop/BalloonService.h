#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <optional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

/// Balloons through the desktop's notification service (org.freedesktop.Notifications).
///
/// Every call is asynchronous, so a missing or hung service never holds up the window; when
/// there is no service nothing is shown and nothing is reported. Only the notices about the
/// balloon this object shows now come back: the service's signals about other notifications,
/// of this program or of others, are filtered out by their id.
class BalloonService : public QObject
{
    Q_OBJECT

  public:
    /// Why a balloon went away, as the service reports it.
    enum class CloseReason { Expired = 1, Dismissed = 2, Closed = 3, Other = 4 };
    Q_ENUM(CloseReason)

    static const QString kService;
    static const QString kPath;
    static const QString kInterface;

    /// A client on the session bus.
    explicit BalloonService(QObject* parent = nullptr);
    /// A client on @p bus (tests use a private bus).
    explicit BalloonService(const QDBusConnection& bus, QObject* parent = nullptr);

    /// Shows @p text under @p title, replacing the balloon shown before. @p timeoutMs 0 or
    /// less leaves the time-out to the service. A "\r\n" line break becomes "\n".
    void show(const QString& title, const QString& text, int timeoutMs);
    /// Takes the current balloon down (also one whose Notify has not been answered yet).
    void close();

  Q_SIGNALS:
    /// The service has accepted the current balloon.
    void shown();
    /// The current balloon went away (timed out, dismissed, closed).
    void closed(BalloonService::CloseReason reason);
    /// The user clicked the current balloon or one of its actions.
    void clicked();

  private Q_SLOTS:
    void onNotificationClosed(uint id, uint reason);
    void onActionInvoked(uint id, const QString& actionKey);

  private:
    struct Balloon
    {
        QString title;
        QString text;
        int timeoutMs = 0;
    };

    void askCapabilities();
    void sendNotify(const Balloon& balloon, quint64 sequence);
    void notifyAnswered(QDBusPendingCallWatcher* call, quint64 sequence);
    void sendClose(uint id);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;

    enum class Capabilities { Unknown, Asking, Known };
    Capabilities m_capabilities = Capabilities::Unknown;
    bool m_bodyMarkup = false;
    std::optional<Balloon> m_waitingForCapabilities;

    /// Number of the balloon that should be up now (0: none); every show() takes a new one.
    quint64 m_wanted = 0;
    quint64 m_lastSequence = 0;
    /// The service's id of the balloon that is up, and that balloon's number.
    uint m_currentId = 0;
    quint64 m_currentSequence = 0;
};
