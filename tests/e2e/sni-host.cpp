// A notification area of the StatusNotifier kind, as a panel provides it, for the real-desktop
// tests: it owns org.kde.StatusNotifierWatcher on the session bus, says a host is there, and
// writes each item that registers ("<bus name> <object path>") as a line to the file named by
// its argument, so that a test can then activate the item as a click on its icon would.
//   sni-host <file>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <cstdio>

class Watcher : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered SCRIPTABLE true)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items SCRIPTABLE true)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion SCRIPTABLE true)

  public:
    explicit Watcher(QString file) : m_file(std::move(file)) {}
    bool hostRegistered() const { return true; }
    QStringList items() const { return m_items; }
    int protocolVersion() const { return 0; }

  public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& serviceOrPath)
    {
        // A bus name (the item at the usual path) or a path (the item on the caller's name).
        const bool isPath = serviceOrPath.startsWith(u'/');
        const QString service = isPath ? message().service() : serviceOrPath;
        const QString path = isPath ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        m_items << service + path;
        QFile out(m_file);
        if (out.open(QIODevice::Append))
            out.write((service + u' ' + path + u'\n').toUtf8());
        Q_EMIT StatusNotifierItemRegistered(service + path);
    }
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString&) {}

  Q_SIGNALS:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();
    Q_SCRIPTABLE void StatusNotifierHostUnregistered();

  private:
    QString m_file;
    QStringList m_items;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: sni-host <file>\n");
        return 2;
    }
    Watcher watcher(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                       QDBusConnection::ExportScriptableContents);
    if (!bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "sni-host: the watcher's name is taken\n");
        return 1;
    }
    Q_EMIT watcher.StatusNotifierHostRegistered();
    return app.exec();
}

#include "sni-host.moc"
