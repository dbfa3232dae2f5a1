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

bool WindowSystem::choosePlatform(int, const char* const*)
{
    return false;
}

void WindowSystem::forgetChoice()
{
}

bool WindowSystem::nativeWayland()
{
    return false;
}
