// The notification area as the tray shell sees it on a real X server: an X11 system tray that
// comes after the program, and goes away again, is noticed when the X server announces it,
// without the program asking every few seconds. Runs inside desktop-session.sh without a
// window manager; the test itself plays the system tray.

#include "desktop/DesktopTrayShell.h"
#include "desktop/TrayRecord.h"
#include "resources/ProgramIcon.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <xcb/xcb.h>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

/// A system tray manager as the freedesktop system tray protocol has it: a window of another
/// client that owns the _NET_SYSTEM_TRAY_S0 selection and announces itself with a MANAGER
/// message to the root window. It embeds nothing.
class SystemTray
{
  public:
    SystemTray()
    {
        m_connection = xcb_connect(nullptr, nullptr);
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    }
    ~SystemTray()
    {
        stop();
        xcb_disconnect(m_connection);
    }

    bool connected() const { return m_connection && !xcb_connection_has_error(m_connection); }

    void start()
    {
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_screen->root, 0, 0, 1, 1,
                          0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const xcb_atom_t selection = atom(m_connection, "_NET_SYSTEM_TRAY_S0");
        xcb_set_selection_owner(m_connection, m_window, selection, XCB_CURRENT_TIME);

        xcb_client_message_event_t manager{};
        manager.response_type = XCB_CLIENT_MESSAGE;
        manager.format = 32;
        manager.window = m_screen->root;
        manager.type = atom(m_connection, "MANAGER");
        manager.data.data32[0] = XCB_CURRENT_TIME;
        manager.data.data32[1] = selection;
        manager.data.data32[2] = m_window;
        xcb_send_event(m_connection, 0, m_screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&manager));
        xcb_flush(m_connection);
    }

    /// The tray ends, as when the panel quits: its window is destroyed.
    void stop()
    {
        if (!m_window)
            return;
        xcb_destroy_window(m_connection, m_window);
        xcb_flush(m_connection);
        m_window = 0;
    }

  private:
    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
    xcb_window_t m_window = 0;
};

TrayRecord::Record addRecord()
{
    TrayRecord::Record record;
    record.flags = TrayRecord::Flag::Message | TrayRecord::Flag::Icon | TrayRecord::Flag::Tip;
    record.callbackMessage = TrayRecord::kCallbackMessage;
    record.icon = programIcon();
    record.tip = QStringLiteral("Pingora");
    return record;
}

} // namespace

class tst_TrayAvailability : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void systemTrayThatComesAndGoesIsNoticed()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        SystemTray tray;
        QVERIFY(tray.connected());

        DesktopTrayShell shell;
        QSignalSpy available(&shell, &TrayShell::notificationAreaAvailableChanged);
        shell.notifyIcon(TrayRecord::Command::Add, addRecord());
        QVERIFY(!shell.notificationAreaAvailable());
        QCOMPARE(shell.route(), DesktopTrayShell::Route::None);

        // The shell keeps no timer running to look for a tray: the program may sleep.
        for (const QTimer* timer : shell.findChildren<QTimer*>())
            QVERIFY2(!timer->isActive() || timer->isSingleShot(), qPrintable(timer->objectName()));

        tray.start();
        QTRY_COMPARE(available.count(), 1);
        QCOMPARE(available[0][0].toBool(), true);
        QVERIFY(shell.notificationAreaAvailable());
        QCOMPARE(shell.route(), DesktopTrayShell::Route::QtSystemTray);

        tray.stop();
        QTRY_COMPARE(available.count(), 2);
        QCOMPARE(available[1][0].toBool(), false);
        QVERIFY(!shell.notificationAreaAvailable());
        QCOMPARE(shell.route(), DesktopTrayShell::Route::None);

        // A new panel after that is noticed as well.
        tray.start();
        QTRY_COMPARE(available.count(), 3);
        QCOMPARE(available[2][0].toBool(), true);
    }
};

QTEST_MAIN(tst_TrayAvailability)
#include "tst_tray_availability.moc"
