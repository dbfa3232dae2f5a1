#include "desktop/StatusNotifierItem.h"

#include "desktop/StatusNotifierTypes.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>

const QString StatusNotifierItem::kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString StatusNotifierItem::kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString StatusNotifierItem::kItemPath = QStringLiteral("/StatusNotifierItem");

/// The org.kde.StatusNotifierItem interface of one item, as the host reads it.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ emptyName)
    Q_PROPERTY(StatusNotifier::ImageList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyName)
    Q_PROPERTY(StatusNotifier::ImageList OverlayIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionIconName READ emptyName)
    Q_PROPERTY(StatusNotifier::ImageList AttentionIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionMovieName READ emptyName)
    Q_PROPERTY(StatusNotifier::ToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

  public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
        : QDBusAbstractAdaptor(item), m_item(item)
    {
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    // Named as Qt names its own item (a host at start-up gets that one): one program, one name.
    QString id() const { return QCoreApplication::applicationName(); }
    QString title() const { return QCoreApplication::applicationName(); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString emptyName() const { return {}; }
    StatusNotifier::ImageList iconPixmap() const
    {
        return StatusNotifier::imagesOf(m_item->m_icon);
    }
    StatusNotifier::ImageList noImages() const { return {}; }
    StatusNotifier::ToolTip toolTip() const { return {{}, {}, m_item->m_toolTip, {}}; }
    // The item answers clicks itself and has no menu of its own.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }

  public Q_SLOTS:
    void Activate(int, int) { Q_EMIT m_item->activated(StatusNotifierItem::Activation::Primary); }
    void SecondaryActivate(int, int)
    {
        Q_EMIT m_item->activated(StatusNotifierItem::Activation::Secondary);
    }
    void ContextMenu(int, int)
    {
        Q_EMIT m_item->activated(StatusNotifierItem::Activation::Context);
    }
    void Scroll(int, const QString&) {}

  Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

  private:
    StatusNotifierItem* m_item;
};

namespace {
int itemCount = 0;
} // namespace

StatusNotifierItem::StatusNotifierItem(QObject* parent)
    : QObject(parent),
      m_connectionName(QStringLiteral("pingora-status-notifier-%1").arg(++itemCount)),
      m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName)),
      m_adaptor(new StatusNotifierItemAdaptor(this))
{
    StatusNotifier::registerTypes();
    if (!m_bus.isConnected())
        return;
    m_bus.registerObject(kItemPath, this);

    // Announced under the connection's unique name, as Qt announces its own item. Under a
    // well-known name, which GNOME's AppIndicator extension follows on its own, the extension
    // dropped the item in about half the log-ons where it came up after the program.
    m_serviceName = m_bus.baseService();

    auto* watcher = new QDBusServiceWatcher(kWatcherService, m_bus,
                                            QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this,
            &StatusNotifierItem::registerWithWatcher);
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem()
{
    // Closing the connection drops the names; the watcher forgets the item with them.
    m_bus.unregisterObject(kItemPath);
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                       QStringLiteral("RegisterStatusNotifierItem"));
    message << m_serviceName;
    m_bus.asyncCall(message);
}

void StatusNotifierItem::setIcon(const QIcon& icon)
{
    m_icon = icon;
    Q_EMIT m_adaptor->NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& toolTip)
{
    m_toolTip = toolTip;
    Q_EMIT m_adaptor->NewToolTip();
}

#include "StatusNotifierItem.moc"
