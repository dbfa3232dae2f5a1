#include "core/WindowSystem.h"

#include <QFile>
#include <QGuiApplication>
#include <QList>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char* const kPlatformVariable = "QT_QPA_PLATFORM";
// Qt's X11 plugin sends window contents in its drawing requests instead of through shared
// memory when this is set.
const char* const kNoSharedMemoryVariable = "QT_XCB_NO_MITSHM";

// What prepareQt() put into the environment, to be taken back out.
QList<QByteArray> g_requests;

void request(const char* name, const QByteArray& value)
{
    qputenv(name, value);
    g_requests.append(name);
}

// Mirrors Qt's own reading of its arguments: "--platform" counts as "-platform", and only
// with a value after it.
bool platformArgument(int argc, const char* const* argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        const char* arg = argv[i];
        if (!arg || arg[0] != '-')
            continue;
        if (arg[1] == '-')
            ++arg;
        if (std::strcmp(arg, "-platform") == 0)
            return true;
    }
    return false;
}

// The display number of a display on this machine, or -1.
int localDisplayNumber(const QByteArray& display)
{
    const qsizetype colon = display.lastIndexOf(':');
    if (colon < 0)
        return -1;
    const QByteArray host = display.left(colon);
    if (!host.isEmpty() && host != "unix")
        return -1;
    const QByteArray number = display.mid(colon + 1).split('.').constFirst();
    bool ok = false;
    const int value = number.toInt(&ok);
    return ok && !number.startsWith('+') && !number.startsWith('-') ? value : -1;
}

// Connects without waiting: a server that is there but busy (its queue full) counts as there.
bool accepts(const QByteArray& name, bool abstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (offset + std::size_t(name.size()) + 1 > sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, name.constData(), std::size_t(name.size()));
    // An abstract name is as long as its bytes, without a terminating zero, as X clients use it.
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset +
                                  std::size_t(name.size()) + (abstract ? 0 : 1));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 ||
        errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return connected;
}

} // namespace

WindowSystem::Session WindowSystem::sessionFromEnvironment()
{
    return {qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"), qgetenv(kPlatformVariable),
            qgetenv("DISPLAY")};
}

QByteArray
WindowSystem::preferredPlatform(const Session& session, int argc, const char* const* argv,
                                const std::function<bool(const QByteArray&)>& xServerReachable)
{
    // Qt 6.4 puts Wayland first when either of these is set.
    const bool qtGoesWayland =
        !session.waylandDisplay.isEmpty() || session.sessionType == "wayland";
    if (!qtGoesWayland || !session.qpaPlatform.isEmpty() || platformArgument(argc, argv) ||
        session.display.isEmpty() || !xServerReachable(session.display))
        return {};
    return QByteArrayLiteral("xcb;wayland");
}

bool WindowSystem::xServerReachable(const QByteArray& display, const QString& socketFolder)
{
    const int number = localDisplayNumber(display);
    if (number < 0)
        return false;
    const QByteArray name = QFile::encodeName(socketFolder) + "/X" + QByteArray::number(number);
    return accepts(name, true) || accepts(name, false);
}

void WindowSystem::prepareQt(int argc, const char* const* argv)
{
    const QByteArray platform =
        preferredPlatform(sessionFromEnvironment(), argc, argv,
                          [](const QByteArray& display) { return xServerReachable(display); });
    if (!platform.isEmpty())
        request(kPlatformVariable, platform);
    // Through shared memory, Qt waits for the X server each time it paints again over an area
    // that the server may still be reading. The countdown repaints the same few digits every
    // second, so each tick would wake the program twice more; sent in the request, a tick's
    // small area costs no wait and no wake-up.
    if (!qEnvironmentVariableIsSet(kNoSharedMemoryVariable))
        request(kNoSharedMemoryVariable, "1");
}

void WindowSystem::takeBackRequests()
{
    for (const QByteArray& name : std::as_const(g_requests))
        qunsetenv(name.constData());
    g_requests.clear();
}

bool WindowSystem::nativeWayland()
{
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}
