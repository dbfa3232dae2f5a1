#pragma once

#include <functional>
#include <map>

#include <chrono>
#include <optional>
#include <sys/types.h>

struct _XDisplay;
union _XEvent;

/// The benchmarks' view of the X server: when a program's window comes up, and a mouse
/// click on it as a person makes one (through the XTEST extension, as xdotool does).
class XSession
{
  public:
    using Clock = std::chrono::steady_clock;

    /// Connects to $DISPLAY and starts watching top-level windows. Throws std::runtime_error.
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    struct MappedWindow
    {
        unsigned long id = 0;
        Clock::time_point mappedAt;
    };

    /// Waits until process \a pid maps a top-level window of at least \a minWidth x
    /// \a minHeight pixels (its main window, not its tray icon or group leader), and says
    /// when the map was seen.
    std::optional<MappedWindow> waitForWindow(pid_t pid, int minWidth, int minHeight,
                                              Clock::time_point deadline);

    /// Waits until process \a pid has an icon docked in the system tray (a small window of
    /// its own, mapped inside another program's window), and says when that was seen.
    std::optional<Clock::time_point> waitForTrayIcon(pid_t pid, Clock::time_point deadline);

    /// Moves the pointer to (\a x, \a y) of \a window's client area and clicks the left
    /// button. Returns the time just before the button was released: the program acts on a
    /// click at the release, so it cannot have acted before then.
    Clock::time_point click(unsigned long window, int x, int y);

  private:
    bool isMainWindow(unsigned long window, pid_t pid, int minWidth, int minHeight);
    static pid_t windowPid(_XDisplay* display, unsigned long window);
    /// Handles the events that have arrived; notes docked tray icons on the way.
    void takeEvents(const std::function<void(const _XEvent&, Clock::time_point)>& handle);
    void noteTrayIcon(unsigned long window, Clock::time_point seen);
    std::map<pid_t, Clock::time_point> m_trayIconDocked;

    _XDisplay* m_display = nullptr;
    void* m_xtest = nullptr;
    int (*m_fakeButton)(_XDisplay*, unsigned, int, unsigned long) = nullptr;
    int (*m_fakeMotion)(_XDisplay*, int, int, int, unsigned long) = nullptr;
};
