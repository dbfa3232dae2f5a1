#pragma once

#include "desktop/TrayShell.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <optional>

/// The tray icon control: owns one icon in the desktop's notification area, keeps its image
/// and tooltip up to date, shows balloons above it and turns mouse activity over it into
/// the Mouse* signals.
///
/// The main window holds one, created "as stored with the main window":
/// @code
///   cSysTray1 = new cSysTray(this);                                // the desktop's own tray
///   cSysTray1->ReadProperties(cSysTray::mainWindowProperties());  // icon in, W image, no tip
///   connect(cSysTray1, &cSysTray::MouseUp, this, &MainWindow::cSysTray1_MouseUp);
///   ...
///   cSysTray1->setTrayTip(ProductInfo::kProductName);
///   cSysTray1->setInTray(true);
/// @endcode
class cSysTray : public QObject
{
    Q_OBJECT

  public:
    /// The three properties the control keeps with its host window's layout. A missing
    /// value takes the default that ReadProperties() names.
    struct Properties
    {
        std::optional<bool> InTray;
        std::optional<QIcon> TrayIcon;
        std::optional<QString> TrayTip;
    };

    /// The tooltip of a control newly placed on a window, and of a layout without one.
    static const QString kDefaultTrayTip;

    /// The main window's stored values: in the tray, the blue W icon, an empty tooltip.
    static Properties mainWindowProperties();

    /// A control over the desktop's own notification area and notification service. Reaching
    /// the desktop costs start-up time, so it happens once the event loop runs (or at once,
    /// when a question needs the desktop's answer): an icon put in the tray before then
    /// appears a moment later, with the latest icon and tip.
    explicit cSysTray(QObject* parent = nullptr);
    /// A control over @p shell, which must outlive it (tests pass a recording one).
    explicit cSysTray(TrayShell& shell, QObject* parent = nullptr);
    /// Takes the icon out of the tray first when it is in.
    ~cSysTray() override;

    /// Defaults of a control newly placed on a window: not in the tray, tip "Telnet Server",
    /// its own displayed picture as icon.
    void InitProperties();
    /// Applies stored properties through their writers in the order InTray, TrayIcon, TrayTip;
    /// a missing InTray reads false, a missing TrayIcon the control's own displayed picture
    /// and a missing TrayTip "Telnet Server".
    void ReadProperties(const Properties& stored);
    /// All three properties as they are now, for saving with the host's layout.
    Properties WriteProperties() const;

    /// The icon image; empty until an icon is given.
    QIcon trayIcon() const { return m_trayIcon; }
    /// Sets the image and shows it in the tray when the icon is there. A null icon is
    /// ignored without error and the previous image stays.
    void setTrayIcon(const QIcon& Icon);

    /// The icon's tooltip.
    QString trayTip() const { return m_trayTip; }
    /// Sets the tooltip and sends it to the tray when the icon is there, an empty text
    /// too (which clears the shown tooltip). At most 127 characters reach the desktop.
    void setTrayTip(const QString& Tip);

    /// Whether the icon is wanted in the tray.
    bool inTray() const { return m_inTray; }
    /// Puts the icon into the tray (true) or takes it out (false); writing the current value
    /// does nothing.
    void setInTray(bool Show);

    /// Shows a balloon with @p Tip (at most 255 characters) under the title @p sTitle (at most
    /// 63). With @p ShowOnce only the first such call of this control shows anything. With a
    /// positive @p ShowTimer the call returns when the desktop reports the balloon gone or
    /// clicked, or after @p ShowTimer seconds, taking the balloon down itself then; the event
    /// loop runs meanwhile, so other handlers run inside the wait. With @p ShowTimer 0 or
    /// less it returns at once and the desktop's own time-out applies.
    /// @throws Failure "Overflow" when @p ShowTimer seconds do not fit in 32-bit milliseconds.
    void ShowBalloon(const QString& Tip, const QString& sTitle, int ShowTimer, bool ShowOnce);

    /// True when the desktop has a notification area that shows the icon now. The main
    /// window asks before hiding itself in the tray: without one it could not come back.
    bool notificationAreaAvailable() { return shell().notificationAreaAvailable(); }

    /// Internal state, read by tests.
    bool iconAdded() const { return m_iconAdded; }
    bool balloonShowing() const { return m_balloonShowing; }
    int balloonCount() const { return m_balloonCount; }
    int iconId() const { return m_iconId; }

  Q_SIGNALS:
    /// The pointer moved over the icon.
    void MouseMove(int Id);
    /// A button went down over the icon; @p Button is 1 (left) or 2 (right).
    void MouseDown(int Button, int Id);
    /// A button was released over the icon; @p Button is 1 (left) or 2 (right).
    void MouseUp(int Button, int Id);
    /// A button was double-clicked over the icon; @p Button is 1 (left) or 2 (right).
    void MouseDblClick(int Button, int Id);
    /// "InTray", "TrayIcon" or "TrayTip" was written.
    void PropertyChanged(const QString& PropertyName);
    /// The desktop's notification area came up or went away.
    void notificationAreaAvailableChanged(bool available);

  private:
    /// The desktop's shell, reached now if it has not been yet.
    TrayShell& shell();
    /// Whether the icon's commands can go to the shell now, rather than wait for it.
    bool shellReached() const { return m_shell != nullptr; }
    void AddIcon(const QString& tip, const QIcon& icon);
    void DeleteIcon();
    /// Turns one of the desktop's notices into an event, or ends the balloon wait.
    void DispatchTrayMessage(int notification, int id);
    TrayRecord::Record newRecord() const;

    /// Null until the desktop's shell is reached (see the constructor).
    TrayShell* m_shell = nullptr;
    /// The desktop's notices reach the control only while its icon is in the tray.
    QMetaObject::Connection m_trayWndProc;

    bool m_inTray = false;
    QIcon m_trayIcon;
    QString m_trayTip;
    QIcon m_displayedPicture;
    bool m_iconAdded = false;
    bool m_balloonShowing = false;
    int m_balloonCount = 0;
    const int m_iconId = 0;

  Q_SIGNALS:
    /// Emitted when a notice ends the balloon; wakes the wait in ShowBalloon.
    void balloonEnded(QPrivateSignal);
};
