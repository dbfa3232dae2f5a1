#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

/// What a person sees and does on the X display of the session, through the ordinary X tools
/// (xdotool, xwininfo, xprop, import): windows, their state, the tray, clicks and keys.
namespace XDesktop {

using WindowId = quint32;

/// The outcome of a command run to its end.
struct CommandResult
{
    bool finished = false; ///< started and ended within the time allowed
    int exitCode = -1;
    QByteArray output; ///< standard output
    QByteArray errors; ///< standard error
    bool ok() const { return finished && exitCode == 0; }
};

/// Runs \a program with \a arguments and waits for its end, at most \a timeout.
CommandResult run(const QString& program, const QStringList& arguments,
                  std::chrono::milliseconds timeout = std::chrono::seconds(60));

/// Polls \a condition every \a step, running the event loop, until it holds or \a timeout
/// has passed. Returns whether it held.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(100));

/// The windows that xdotool search finds with these options ("--pid", "123", ...).
QList<WindowId> search(const QStringList& options);

/// The window's title as the window manager shows it (empty if it has none).
QString windowName(WindowId window);

/// What xwininfo says about a window.
struct WindowInfo
{
    QRect geometry; ///< on the screen (absolute position), without the window manager's frame
    bool viewable = false;
};
/// Nothing when the window does not exist (any more).
std::optional<WindowInfo> windowInfo(WindowId window);

/// The window's parent in the window tree, or nothing if the window does not exist.
std::optional<WindowId> parentOf(WindowId window);

/// The ICCCM state the window manager keeps for a client: "Normal", "Iconic", "Withdrawn",
/// or empty when the property is absent (a window the manager no longer manages).
QString wmState(WindowId window);
/// The names of the atoms in the window's _NET_WM_STATE.
QStringList netWmState(WindowId window);
/// The windows that the window manager manages (its taskbar lists these).
QList<WindowId> clientList();
/// The window that owns the system tray selection of screen 0, or nothing.
std::optional<WindowId> systemTrayOwner();

/// Moves the pointer to \a at (screen coordinates) and clicks \a button there.
bool clickAt(QPoint at, int button = 1);
/// Moves the pointer to \a at and leaves it there.
bool moveMouseTo(QPoint at);
/// Saves a picture of the window's content as a PNG file.
bool screenshot(WindowId window, const QString& pngPath);

/// The window written the way the X tools print it, e.g. "0x1a00007".
QString hex(WindowId window);

} // namespace XDesktop
