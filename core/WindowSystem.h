#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

/// Which window system the program runs on, chosen before Qt starts.
///
/// Qt 6.4 runs natively on Wayland whenever the session offers it and its Wayland plugin is
/// installed. Wayland lets no program learn that its window was minimised, so the first
/// minimise could not send the window to the tray there, and a tray click could not tell a
/// minimised window from a shown one. Where the session also runs an X server (Xwayland, as
/// KDE Plasma and GNOME do), the program runs through X11, where the whole tray flow works; a
/// platform that the user chose (QT_QPA_PLATFORM, -platform) is always kept.
namespace WindowSystem {

/// What the session tells about its displays and the user's choice of Qt platform.
struct Session
{
    QByteArray waylandDisplay; ///< WAYLAND_DISPLAY
    QByteArray sessionType;    ///< XDG_SESSION_TYPE
    QByteArray qpaPlatform;    ///< QT_QPA_PLATFORM
    QByteArray display;        ///< DISPLAY
};

/// The session as the environment describes it.
Session sessionFromEnvironment();

/// The Qt platform plugins to ask for ("xcb" first, Wayland as the fallback should the X
/// server refuse the program), or an empty text to leave Qt's own choice: X11 only when Qt
/// would otherwise go native Wayland, neither the environment nor the command line @p argv
/// names a platform, and @p xServerReachable answers yes for the session's DISPLAY.
QByteArray preferredPlatform(const Session& session, int argc, const char* const* argv,
                             const std::function<bool(const QByteArray&)>& xServerReachable);

/// True when an X server accepts connections for @p display (a DISPLAY value) now, asked
/// without waiting: a display on this machine (":N", ":N.S", "unix:N") by a connection to its
/// socket, the abstract one or the file in @p socketFolder, as X clients connect. A display on
/// another host is never asked (a network could make the start wait) and reads false.
bool xServerReachable(const QByteArray& display,
                      const QString& socketFolder = QStringLiteral("/tmp/.X11-unix"));

/// Before QApplication is constructed: asks Qt, through the environment, for the platform that
/// preferredPlatform() names for this session, and for X11 window contents sent without
/// shared memory (unless the user chose otherwise).
void prepareQt(int argc, const char* const* argv);

/// Once QApplication is constructed: takes the requests that prepareQt() made back out of the
/// environment, so that the programs started from here (the text editor for the history log)
/// make their own choices.
void takeBackRequests();

/// True when the program runs natively on Wayland.
bool nativeWayland();

} // namespace WindowSystem
