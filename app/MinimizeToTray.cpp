#include "app/Form1.h"
#include "core/ErrorTrap.h"
#include "core/ProductInfo.h"
#include "core/WindowSystem.h"
#include "desktop/cSysTray.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace {

const QString kTrayBalloonText =
    QStringLiteral("has been minimized to the system tray.\r\nClick on the blue 'W' icon (W for "
                   "Wrenfield) to bring the software back.");
constexpr int kTrayBalloonSeconds = 5;
constexpr int kLeftButton = 1;

} // namespace

void Form1::wireTray()
{
    cSysTray1 =
        m_platform.trayShell ? new cSysTray(*m_platform.trayShell, this) : new cSysTray(this);
    cSysTray1->setObjectName(QStringLiteral("cSysTray1"));
    cSysTray1->ReadProperties(cSysTray::mainWindowProperties());
    connect(cSysTray1, &cSysTray::MouseUp, this, [this](int Button, int Id) {
        ErrorTrap::runUntrappedHandler([&] { cSysTray1_MouseUp(Button, Id); });
    });
    connect(cSysTray1, &cSysTray::notificationAreaAvailableChanged, this, [this](bool available) {
        // A tray that goes away must not keep the window out of reach.
        if (!available && isHidden() && MinimizedOnce) {
            m_hiddenInTray = false;
            showMinimized();
        }
        // At log-on the panel often comes up after the program: a start that asked for the
        // tray goes there once it is up, unless the user has restored the window meanwhile.
        if (available && m_startupAskedForTray && !MinimizedOnce && isVisible() &&
            (windowState() & Qt::WindowMinimized))
            QTimer::singleShot(
                0, this, [this] { ErrorTrap::runUntrappedHandler([this] { Form_Resize(); }); });
    });
}

void Form1::setTrayTip(const QString& tip)
{
    cSysTray1->setTrayTip(tip);
}

void Form1::setInTray(bool inTray)
{
    cSysTray1->setInTray(inTray);
}

void Form1::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_hiddenInTray &&
        (windowState() & Qt::WindowMinimized)) {
        overrideWindowState(windowState() & ~Qt::WindowMinimized); // the window system's echo
        return;
    }
    // Handled after the event: the balloon's wait must not run inside Qt's state change.
    if (event->type() == QEvent::WindowStateChange && isVisible())
        QTimer::singleShot(0, this,
                           [this] { ErrorTrap::runUntrappedHandler([this] { Form_Resize(); }); });
}

void Form1::Form_Resize()
{
    if (!(windowState() & Qt::WindowMinimized) || MinimizedOnce)
        return;
    // Without a notification area a hidden window could never be brought back: it stays on
    // the taskbar.
    if (!cSysTray1->notificationAreaAvailable())
        return;
    hide();
    m_hiddenInTray = true;
    overrideWindowState(windowState() & ~Qt::WindowMinimized);
    MinimizedOnce = true;
    cSysTray1->ShowBalloon(kTrayBalloonText, ProductInfo::kProductName, kTrayBalloonSeconds, true);
}

void Form1::cSysTray1_MouseUp(int Button, int /*Id*/)
{
    // A box that waits for an answer (a report, Help, a question, the file dialog) blocks the
    // window until it is answered, so the box is what the user must reach. On Wayland a window
    // shown now, or shown again as below, is a new window in front of the box, which stays
    // tied to the old window or to none: the box would end up beneath, still blocking. So the
    // click asks for the box alone; the window can be had once the box is answered.
    QWidget* box = QApplication::activeModalWidget();
    if (Button == kLeftButton && box && WindowSystem::nativeWayland()) {
        box->raise();
        box->activateWindow();
        return;
    }
    // A window hidden in the tray reads as minimised.
    bool minimised = isHidden() || (windowState() & Qt::WindowMinimized);
    if (Button == kLeftButton && !minimised && WindowSystem::nativeWayland() && !isActiveWindow()) {
        // Wayland never tells a program that its window was minimised, only that it is no
        // longer the active one; nor does the compositor raise a window on request. Shown
        // again, it comes back as a new window, in front.
        hide();
        minimised = true;
    }
    if (Button == kLeftButton && minimised) {
        m_hiddenInTray = false;
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
        raise();
        activateWindow();
    }
}

void Form1::showAsLoaded()
{
    m_startupAskedForTray = windowState() & Qt::WindowMinimized;
    if (m_startupAskedForTray)
        Form_Resize(); // it goes to the tray without being shown first
    if (!MinimizedOnce)
        show();
}
