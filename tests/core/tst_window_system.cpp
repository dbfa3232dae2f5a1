// The window system chosen for the session, and whether an X server answers.
#include "core/WindowSystem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class tst_WindowSystem : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void platformChoiceForTheSession_data()
    {
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QByteArray>("qpaPlatform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("xServerThere");
        QTest::addColumn<QByteArray>("chosen");
        const auto row = [](const char* name, const char* waylandDisplay, const char* sessionType,
                            const char* qpaPlatform, const char* display, QStringList arguments,
                            bool xServerThere, const char* chosen) {
            QTest::newRow(name) << QByteArray(waylandDisplay) << QByteArray(sessionType)
                                << QByteArray(qpaPlatform) << QByteArray(display) << arguments
                                << xServerThere << QByteArray(chosen);
        };
        const char* x11 = "xcb;wayland";
        row("Wayland session with Xwayland", "wayland-0", "wayland", "", ":1", {}, true, x11);
        row("Wayland display alone", "wayland-1", "", "", ":1", {}, true, x11);
        row("session type alone", "", "wayland", "", ":1", {}, true, x11);
        row("X11 session: Qt's choice is X11 already", "", "x11", "", ":0", {}, true, "");
        row("no X server answers", "wayland-0", "wayland", "", ":1", {}, false, "");
        row("no DISPLAY", "wayland-0", "wayland", "", "", {}, true, "");
        row("QT_QPA_PLATFORM kept", "wayland-0", "wayland", "wayland", ":1", {}, true, "");
        row("-platform kept", "wayland-0", "", "", ":1", {"-platform", "wayland"}, true, "");
        row("--platform kept", "wayland-0", "", "", ":1", {"--platform", "wayland-egl"}, true, "");
        row("-platform without a value names none", "wayland-0", "", "", ":1", {"-platform"}, true,
            x11);
        row("other arguments", "wayland-0", "", "", ":1", {"-platformtheme", "gtk3", "wayland"},
            true, x11);
    }

    void platformChoiceForTheSession()
    {
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, sessionType);
        QFETCH(QByteArray, qpaPlatform);
        QFETCH(QByteArray, display);
        QFETCH(QStringList, arguments);
        QFETCH(bool, xServerThere);
        QFETCH(QByteArray, chosen);
        QList<QByteArray> storage{"pingora"};
        for (const QString& argument : arguments)
            storage << argument.toUtf8();
        std::vector<const char*> argv;
        for (const QByteArray& argument : storage)
            argv.push_back(argument.constData());
        QByteArrayList asked;
        const auto probe = [&](const QByteArray& name) {
            asked << name;
            return xServerThere;
        };
        QCOMPARE(
            WindowSystem::preferredPlatform({waylandDisplay, sessionType, qpaPlatform, display},
                                            int(argv.size()), argv.data(), probe),
            chosen);
        // The X server is asked only when its answer decides, and then for the session's display.
        if (!chosen.isEmpty())
            QCOMPARE(asked, QByteArrayList{display});
    }

    void xServerReachableAsXClientsConnect_data()
    {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QString>("socket");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("abstract socket") << QByteArray(":7") << "abstract" << true;
        QTest::newRow("socket file") << QByteArray(":7") << "file" << true;
        QTest::newRow("server with its queue full") << QByteArray(":7") << "busy" << true;
        QTest::newRow("screen number") << QByteArray(":7.0") << "abstract" << true;
        QTest::newRow("unix host") << QByteArray("unix:7") << "file" << true;
        QTest::newRow("socket file of a server gone") << QByteArray(":7") << "stale file" << false;
        QTest::newRow("no socket") << QByteArray(":7") << "" << false;
        QTest::newRow("another display") << QByteArray(":70") << "abstract" << false;
        QTest::newRow("another host is not asked")
            << QByteArray("otherhost:7") << "abstract" << false;
        QTest::newRow("no number") << QByteArray(":") << "abstract" << false;
        QTest::newRow("no display") << QByteArray() << "abstract" << false;
    }

    void xServerReachableAsXClientsConnect()
    {
        QFETCH(QByteArray, display);
        QFETCH(QString, socket);
        QFETCH(bool, reachable);
        QTemporaryDir folder(QStringLiteral("/tmp/pingora-x-XXXXXX"));
        const QByteArray name = QFile::encodeName(folder.filePath(QStringLiteral("X7")));
        const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(server >= 0);
        QList<int> waiting;
        if (!socket.isEmpty()) {
            // Bound as X servers bind: an abstract name without a terminating zero.
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const bool abstract = socket == u"abstract" || socket == u"busy";
            std::memcpy(address.sun_path + (abstract ? 1 : 0), name.constData(),
                        std::size_t(name.size()));
            const auto length =
                socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(name.size()));
            QVERIFY(::bind(server, reinterpret_cast<sockaddr*>(&address), length) == 0);
            if (socket != u"stale file")
                QVERIFY(::listen(server, 0) == 0);
            // A server too busy to take connections: its queue filled by clients it has not
            // taken yet.
            for (int client = -1; socket == u"busy";) {
                client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
                waiting << client;
                if (::connect(client, reinterpret_cast<sockaddr*>(&address), length) != 0)
                    break;
            }
        }
        QCOMPARE(WindowSystem::xServerReachable(display, folder.path()), reachable);
        ::close(server);
        for (int client : std::as_const(waiting))
            ::close(client);
    }
};

QTEST_MAIN(tst_WindowSystem)
#include "tst_window_system.moc"
