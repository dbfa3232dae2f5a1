#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QString>

class StatusNotifierItemAdaptor;

/// An icon offered to a StatusNotifier host (the tray of KDE Plasma, of GNOME with the
/// AppIndicator extension, of many Wayland panels) through org.kde.StatusNotifierWatcher.
///
/// Qt's own tray icon chooses StatusNotifierItem or the X11 system tray once per process, at
/// its first use; this item serves a host that comes up after that choice went to X11.
class StatusNotifierItem : public QObject
{
    Q_OBJECT

  public:
    /// How the host was clicked: primary is the left button, secondary the middle one.
    enum class Activation { Primary, Secondary, Context };

    static const QString kWatcherService;
    static const QString kWatcherPath;
    static const QString kItemPath;

    /// Registers the item on its own connection to the session bus and announces it to the
    /// watcher, now and whenever the watcher starts anew. Fails silently.
    explicit StatusNotifierItem(QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    void setIcon(const QIcon& icon);
    QIcon icon() const { return m_icon; }
    void setToolTip(const QString& toolTip);
    QString toolTip() const { return m_toolTip; }

    /// The bus name under which the item is registered with the watcher.
    QString serviceName() const { return m_serviceName; }

  Q_SIGNALS:
    /// The host reports a click on the item.
    void activated(StatusNotifierItem::Activation how);

  private:
    void registerWithWatcher();

    QString m_connectionName;
    QDBusConnection m_bus;
    QString m_serviceName;
    QIcon m_icon;
    QString m_toolTip;
    StatusNotifierItemAdaptor* m_adaptor;

    friend class StatusNotifierItemAdaptor;
};
