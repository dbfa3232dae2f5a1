#include "XSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <poll.h>
#include <stdexcept>
#include <thread>

namespace {

// Windows come and go while they are looked at (a window destroyed between its creation
// notice and the query); those errors are expected and harmless here.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

XSession::XSession()
{
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        throw std::runtime_error("cannot open the X display (is DISPLAY set?)");
    XSetErrorHandler(ignoreErrors);
    XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
    XSync(m_display, True);

    // The XTEST client library comes with xdotool; its headers need not be installed.
    m_xtest = dlopen("libXtst.so.6", RTLD_NOW);
    if (m_xtest) {
        m_fakeButton =
            reinterpret_cast<decltype(m_fakeButton)>(dlsym(m_xtest, "XTestFakeButtonEvent"));
        m_fakeMotion =
            reinterpret_cast<decltype(m_fakeMotion)>(dlsym(m_xtest, "XTestFakeMotionEvent"));
    }
}

XSession::~XSession()
{
    XCloseDisplay(m_display);
    if (m_xtest)
        dlclose(m_xtest);
}

pid_t XSession::windowPid(Display* display, unsigned long window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    pid_t pid = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &remaining, &data) == Success &&
        data && count == 1 && format == 32)
        pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

bool XSession::isMainWindow(unsigned long window, pid_t pid, int minWidth, int minHeight)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(m_display, window, &attributes) ||
        attributes.map_state != IsViewable || attributes.width < minWidth ||
        attributes.height < minHeight)
        return false;
    return windowPid(m_display, window) == pid;
}

// A tray icon: small, shown, and inside a window of the tray rather than on the root.
void XSession::noteTrayIcon(unsigned long window, Clock::time_point seen)
{
    constexpr int kLargestIcon = 128;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(m_display, window, &attributes) ||
        attributes.map_state != IsViewable || attributes.width > kLargestIcon)
        return;
    ::Window root = None, parent = None;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
        return;
    if (children)
        XFree(children);
    const pid_t pid = windowPid(m_display, window);
    if (parent != root && pid > 0 && !m_trayIconDocked.count(pid))
        m_trayIconDocked[pid] = seen;
}

void XSession::takeEvents(const std::function<void(const XEvent&, Clock::time_point)>& handle)
{
    const ::Window root = DefaultRootWindow(m_display);
    while (XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        const auto seen = Clock::now();
        if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
            // A new top-level window: follow it, also once a window manager has put it into
            // a frame or a tray has taken it in.
            XSelectInput(m_display, event.xcreatewindow.window, StructureNotifyMask);
            XSync(m_display, False);
        } else if (event.type == MapNotify) {
            noteTrayIcon(event.xmap.window, seen);
        } else if (event.type == ReparentNotify) {
            noteTrayIcon(event.xreparent.window, seen);
        }
        handle(event, seen);
    }
}

std::optional<XSession::MappedWindow>
XSession::waitForWindow(pid_t pid, int minWidth, int minHeight, Clock::time_point deadline)
{
    const ::Window root = DefaultRootWindow(m_display);
    pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
    std::optional<MappedWindow> found;
    for (;;) {
        takeEvents([&](const XEvent& event, Clock::time_point seen) {
            if (found)
                return;
            if (event.type == CreateNotify && event.xcreatewindow.parent == root &&
                isMainWindow(event.xcreatewindow.window, pid, minWidth, minHeight))
                found = MappedWindow{event.xcreatewindow.window, Clock::now()}; // mapped already
            else if (event.type == MapNotify &&
                     isMainWindow(event.xmap.window, pid, minWidth, minHeight))
                found = MappedWindow{event.xmap.window, seen};
        });
        if (found)
            return found;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        poll(&connection, 1, static_cast<int>(left.count()) + 1);
    }
}

std::optional<XSession::Clock::time_point> XSession::waitForTrayIcon(pid_t pid,
                                                                     Clock::time_point deadline)
{
    pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
    for (;;) {
        takeEvents([](const XEvent&, Clock::time_point) {});
        if (const auto docked = m_trayIconDocked.find(pid); docked != m_trayIconDocked.end())
            return docked->second;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        poll(&connection, 1, static_cast<int>(left.count()) + 1);
    }
}

XSession::Clock::time_point XSession::click(unsigned long window, int x, int y)
{
    if (!m_fakeButton || !m_fakeMotion)
        throw std::runtime_error("the XTEST client library (libXtst.so.6) is missing");
    int rootX = 0, rootY = 0;
    ::Window child = None;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY,
                          &child);
    m_fakeMotion(m_display, -1, rootX, rootY, 0);
    XSync(m_display, False);
    // A person's click: the pointer rests on the button, the button goes down, then up.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    m_fakeButton(m_display, 1, True, 0);
    XSync(m_display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const auto release = Clock::now();
    m_fakeButton(m_display, 1, False, 0);
    XSync(m_display, False);
    return release;
}
