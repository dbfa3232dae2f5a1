// The desktop's notification area on a private session bus: a StatusNotifier host that comes
// up after the program, the icon and tooltip it reads, clicks coming back as notices, and
// balloons through the notification service, also as the tray control sees them.

#include "FakeNotifications.h"
#include "FakeStatusNotifierWatcher.h"

#include "desktop/DesktopTrayShell.h"
#include "desktop/StatusNotifierTypes.h"
#include "desktop/cSysTray.h"
#include "resources/ProgramIcon.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using TrayRecord::Command;
using TrayRecord::Flag;

namespace {

// Calls into this very process (the item lives in the test's thread), so the event loop must
// run while the answer is awaited.
QDBusMessage callAndWait(const QDBusMessage& message)
{
    QDBusPendingCallWatcher call(QDBusConnection::sessionBus().asyncCall(message));
    QElapsedTimer clock;
    clock.start();
    while (!call.isFinished() && clock.elapsed() < 5000)
        QTest::qWait(10);
    return call.reply();
}

QVariant itemProperty(const QString& service, const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    const QDBusMessage reply = callAndWait(get);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

template <typename T> T demarshalled(const QVariant& value)
{
    T result;
    value.value<QDBusArgument>() >> result;
    return result;
}

void callItem(const QString& service, const QString& method)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                       QStringLiteral("org.kde.StatusNotifierItem"), method);
    call << 10 << 20;
    QCOMPARE(callAndWait(call).type(), QDBusMessage::ReplyMessage);
}

// Registers an item with the watcher from this process, as Qt does for its own.
void registerItem(const QString& service)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.kde.StatusNotifierWatcher"),
        QStringLiteral("RegisterStatusNotifierItem"));
    call << service;
    QCOMPARE(callAndWait(call).type(), QDBusMessage::ReplyMessage);
}

TrayRecord::Record addRecord()
{
    TrayRecord::Record record;
    record.flags = Flag::Message | Flag::Icon | Flag::Tip;
    record.callbackMessage = TrayRecord::kCallbackMessage;
    record.icon = programIcon();
    record.tip = QStringLiteral("Pingora");
    return record;
}

TrayRecord::Record balloonRecord(const QString& text, int timeoutMs = 5000)
{
    TrayRecord::Record record;
    record.flags = Flag::Info;
    record.info = text;
    record.infoTitle = QStringLiteral("Pingora");
    record.timeoutMs = timeoutMs;
    return record;
}

// The notices received once @p count of them are in (or after five seconds), taken out of
// the spy.
QList<int> takeNotices(QSignalSpy& spy, int count)
{
    QElapsedTimer clock;
    clock.start();
    while (spy.count() < count && clock.elapsed() < 5000)
        QTest::qWait(10);
    QList<int> notices;
    for (const auto& arguments : std::as_const(spy))
        notices.append(arguments.at(0).toInt());
    spy.clear();
    return notices;
}

QList<int> notices(std::initializer_list<TrayNotice> list)
{
    QList<int> result;
    for (TrayNotice notice : list)
        result.append(static_cast<int>(notice));
    return result;
}

} // namespace

class tst_DesktopTrayShell : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void hostThatComesLaterGetsTheIcon();
    void hostThatComesUpDuringTheStartGetsTheIcon();
    void hostPresentAtStartIsLeftToQt();
    void trayIsThereWhileTheHostListsTheItem();
    void balloonsGoThroughTheNotificationService();
    void trayControlWaitsForTheService();

  private:
    FakeStatusNotifierWatcher* m_watcher = nullptr;
};

void tst_DesktopTrayShell::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("no session bus: run under dbus-run-session");
    StatusNotifier::registerTypes();
}

void tst_DesktopTrayShell::hostThatComesLaterGetsTheIcon()
{
    FakeStatusNotifierWatcher watcher;
    DesktopTrayShell shell;
    QSignalSpy available(&shell, &TrayShell::notificationAreaAvailableChanged);
    QSignalSpy notice(&shell, &TrayShell::notice);

    // Log-on before the panel: no tray of any kind yet.
    QVERIFY(!shell.notificationAreaAvailable());
    shell.notifyIcon(Command::Add, addRecord());
    QCOMPARE(shell.route(), DesktopTrayShell::Route::None);

    watcher.start(true);
    QTRY_COMPARE(watcher.registeredItems().size(), 1);
    QCOMPARE(shell.route(), DesktopTrayShell::Route::OwnStatusNotifier);
    QTRY_VERIFY(shell.notificationAreaAvailable());
    QTRY_COMPARE(available.count(), 1);
    QCOMPARE(available[0][0].toBool(), true);

    // Announced as Qt announces its own: under the connection's unique name, with no
    // well-known name that a host could see come and go on its own.
    const QString item = watcher.registeredItems().constFirst();
    QVERIFY2(item.startsWith(u':'), qPrintable(item));
    QCOMPARE(QDBusConnection::sessionBus().interface()->registeredServiceNames().value().filter(
                 QStringLiteral("StatusNotifierItem")),
             QStringList());

    // What the host reads: the tooltip, the W picture, an item that takes clicks itself.
    QCOMPARE(
        demarshalled<StatusNotifier::ToolTip>(itemProperty(item, QStringLiteral("ToolTip"))).title,
        QStringLiteral("Pingora"));
    QCOMPARE(itemProperty(item, QStringLiteral("Status")).toString(), QStringLiteral("Active"));
    QCOMPARE(itemProperty(item, QStringLiteral("ItemIsMenu")).toBool(), false);
    const auto pictures =
        demarshalled<StatusNotifier::ImageList>(itemProperty(item, QStringLiteral("IconPixmap")));
    const auto small = std::find_if(pictures.begin(), pictures.end(),
                                    [](const StatusNotifier::Image& i) { return i.width == 16; });
    QVERIFY(small != pictures.end());
    QCOMPARE(small->height, 16);
    QCOMPARE(small->pixels.size(), 16 * 16 * 4);
    QCOMPARE(small->pixels.mid(0, 4), QByteArray::fromHex("ff000000"));            // frame
    QCOMPARE(small->pixels.mid((16 + 1) * 4, 4), QByteArray::fromHex("ffb1ffff")); // ground

    TrayRecord::Record tip;
    tip.flags = Flag::Tip;
    tip.tip = QStringLiteral("Other");
    shell.notifyIcon(Command::Modify, tip);
    QCOMPARE(
        demarshalled<StatusNotifier::ToolTip>(itemProperty(item, QStringLiteral("ToolTip"))).title,
        QStringLiteral("Other"));

    // Clicks on the item come back as the button going down and up.
    callItem(item, QStringLiteral("Activate"));
    QCOMPARE(takeNotices(notice, 2),
             notices({TrayNotice::LeftButtonDown, TrayNotice::LeftButtonUp}));
    callItem(item, QStringLiteral("ContextMenu"));
    QCOMPARE(takeNotices(notice, 2),
             notices({TrayNotice::RightButtonDown, TrayNotice::RightButtonUp}));
    callItem(item, QStringLiteral("SecondaryActivate"));
    QCOMPARE(takeNotices(notice, 2),
             notices({TrayNotice::MiddleButtonDown, TrayNotice::MiddleButtonUp}));

    // The panel ends: no notification area until it is back, then the icon returns.
    watcher.stop();
    QTRY_COMPARE(shell.route(), DesktopTrayShell::Route::None);
    QVERIFY(!shell.notificationAreaAvailable());
    QTRY_COMPARE(available.count(), 2);
    QCOMPARE(available[1][0].toBool(), false);

    watcher.start(false);
    QTest::qWait(200);
    QCOMPARE(shell.route(), DesktopTrayShell::Route::None);
    watcher.registerHost();
    QTRY_COMPARE(watcher.registeredItems().size(), 1);
    QCOMPARE(shell.route(), DesktopTrayShell::Route::OwnStatusNotifier);

    // Of two hosts one leaves: the icon stays. The last one leaving takes it away.
    watcher.registerHost();
    watcher.unregisterHost(true);
    QTest::qWait(200);
    QCOMPARE(shell.route(), DesktopTrayShell::Route::OwnStatusNotifier);
    QVERIFY(shell.notificationAreaAvailable());
    watcher.unregisterHost(false);
    QTRY_COMPARE(shell.route(), DesktopTrayShell::Route::None);
    watcher.registerHost();
    QTRY_COMPARE(shell.route(), DesktopTrayShell::Route::OwnStatusNotifier);

    shell.notifyIcon(Command::Delete, TrayRecord::Record());
    QCOMPARE(shell.route(), DesktopTrayShell::Route::None);
}

void tst_DesktopTrayShell::hostThatComesUpDuringTheStartGetsTheIcon()
{
    // The panel's host registers while the shell reads the watcher's state at its start.
    FakeStatusNotifierWatcher watcher;
    watcher.start(false);
    watcher.registerHostOnItemsRead();
    DesktopTrayShell shell;
    shell.notifyIcon(Command::Add, addRecord());
    QTRY_COMPARE(shell.route(), DesktopTrayShell::Route::OwnStatusNotifier);
    QTRY_COMPARE(watcher.registeredItems().size(), 1);
}

void tst_DesktopTrayShell::hostPresentAtStartIsLeftToQt()
{
    FakeStatusNotifierWatcher watcher;
    watcher.start(true);
    DesktopTrayShell shell;

    shell.notifyIcon(Command::Add, addRecord());
    QCOMPARE(shell.route(), DesktopTrayShell::Route::QtStatusNotifier);
    // The host never listed the item: no icon, no tray to hide the window in.
    QVERIFY(!shell.notificationAreaAvailable());
    // No item of our own beside Qt's (which Qt does not offer on the offscreen platform).
    QTest::qWait(300);
    QCOMPARE(watcher.registeredItems(), QStringList());
}

void tst_DesktopTrayShell::trayIsThereWhileTheHostListsTheItem()
{
    FakeStatusNotifierWatcher watcher;
    watcher.start(true);
    // Another program's item is not this one's.
    registerItem(QStringLiteral("org.freedesktop.DBus"));
    QVERIFY(!DesktopTrayShell().notificationAreaAvailable());

    // Qt's item, registered from this process, listed as GNOME's AppIndicator extension and
    // KDE's watcher list items.
    const QString name = QDBusConnection::sessionBus().baseService();
    const QString gnomeEntry = name + QStringLiteral("@/StatusNotifierItem");
    registerItem(gnomeEntry);
    DesktopTrayShell shell;
    QSignalSpy available(&shell, &TrayShell::notificationAreaAvailableChanged);
    QVERIFY(shell.notificationAreaAvailable());
    shell.notifyIcon(Command::Add, addRecord());

    watcher.dropItem(gnomeEntry);
    QTRY_COMPARE(available.count(), 1);
    QCOMPARE(available[0][0].toBool(), false);
    registerItem(name + QStringLiteral("/StatusNotifierItem"));
    QTRY_COMPARE(available.count(), 2);
    QCOMPARE(available[1][0].toBool(), true);
    watcher.stop();
    QTRY_COMPARE(available.count(), 3);
    QCOMPARE(available[2][0].toBool(), false);
}

void tst_DesktopTrayShell::balloonsGoThroughTheNotificationService()
{
    FakeNotifications service;
    QVERIFY(service.start());
    DesktopTrayShell shell;
    QSignalSpy notice(&shell, &TrayShell::notice);

    // No icon, no balloon.
    shell.notifyIcon(Command::Modify, balloonRecord(QStringLiteral("too early")));
    QTest::qWait(200);
    QVERIFY(service.notifications.isEmpty());

    shell.notifyIcon(Command::Add, addRecord());
    shell.notifyIcon(Command::Modify, balloonRecord(QStringLiteral("first")));
    QTRY_COMPARE(service.notifications.size(), 1);
    QCOMPARE(service.notifications[0].body, QStringLiteral("first"));
    QCOMPARE(service.notifications[0].summary, QStringLiteral("Pingora"));
    QCOMPARE(service.notifications[0].expireTimeout, 5000);
    QCOMPARE(takeNotices(notice, 1), notices({TrayNotice::BalloonShown}));
    service.close(service.notifications[0].id, 1);
    QCOMPARE(takeNotices(notice, 1), notices({TrayNotice::BalloonTimedOut}));

    shell.notifyIcon(Command::Modify, balloonRecord(QStringLiteral("second"), 0));
    QTRY_COMPARE(service.notifications.size(), 2);
    QCOMPARE(service.notifications[1].expireTimeout, -1);
    QCOMPARE(takeNotices(notice, 1), notices({TrayNotice::BalloonShown}));
    service.invoke(service.notifications[1].id, QStringLiteral("default"));
    QCOMPARE(takeNotices(notice, 1), notices({TrayNotice::BalloonClicked}));

    // An empty balloon takes the one that is up down; so does taking the icon out.
    shell.notifyIcon(Command::Modify, balloonRecord(QStringLiteral("third")));
    QCOMPARE(takeNotices(notice, 1), notices({TrayNotice::BalloonShown}));
    shell.notifyIcon(Command::Modify, balloonRecord(QString()));
    QTRY_COMPARE(service.closeCalls, QList<uint>{service.notifications[2].id});

    shell.notifyIcon(Command::Modify, balloonRecord(QStringLiteral("fourth")));
    QCOMPARE(takeNotices(notice, 1), notices({TrayNotice::BalloonShown}));
    shell.notifyIcon(Command::Delete, TrayRecord::Record());
    QTRY_COMPARE(service.closeCalls.size(), 2);
    QCOMPARE(service.closeCalls[1], service.notifications[3].id);
}

void tst_DesktopTrayShell::trayControlWaitsForTheService()
{
    FakeNotifications service;
    QVERIFY(service.start());
    cSysTray tray;
    tray.ReadProperties(cSysTray::mainWindowProperties());

    // The service times the balloon out: the wait ends then.
    service.expireAfterMs = 300;
    QElapsedTimer clock;
    clock.start();
    tray.ShowBalloon(QStringLiteral("has been minimized"), QStringLiteral("Pingora"), 5, true);
    QVERIFY2(clock.elapsed() >= 250 && clock.elapsed() < 2500,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!tray.balloonShowing());

    // The service says nothing: after the time given the control takes the balloon down.
    service.expireAfterMs = 0;
    clock.restart();
    tray.ShowBalloon(QStringLiteral("again"), QStringLiteral("Pingora"), 1, false);
    QVERIFY2(clock.elapsed() >= 990 && clock.elapsed() < 3000,
             qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE(service.closeCalls, QList<uint>{service.notifications.last().id});
}

QTEST_MAIN(tst_DesktopTrayShell)
#include "tst_desktop_tray_shell.moc"
