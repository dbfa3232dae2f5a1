#include "core/WindowSystem.h"

#include <QtGlobal>

// Windows has one window system: Qt's own choice is always right there.

WindowSystem::Session WindowSystem::sessionFromEnvironment()
{
    return {qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"), qgetenv("QT_QPA_PLATFORM"),
            qgetenv("DISPLAY")};
}

QByteArray WindowSystem::preferredPlatform(const Session&, int, const char* const*,
                                           const std::function<bool(const QByteArray&)>&)
{
    return {};
}

bool WindowSystem::xServerReachable(const QByteArray&, const QString&)
{
    return false;
}

void WindowSystem::prepareQt(int, const char* const*)
{
}

void WindowSystem::takeBackRequests()
{
}

bool WindowSystem::nativeWayland()
{
    return false;
}
