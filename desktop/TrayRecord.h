#pragma once

#include <QIcon>
#include <QString>

/// What the tray control sends to the desktop about its icon: one record per call, built
/// fresh each time, with flags saying which of its fields count.
namespace TrayRecord {

/// Which fields of a record the desktop is to take.
enum Flag : int {
    Message = 1, ///< callbackMessage: the desktop is to report mouse and balloon notices
    Icon = 2,    ///< icon
    Tip = 4,     ///< tip (the tooltip)
    Info = 16,   ///< info, infoTitle and timeoutMs (a balloon; empty info takes it down)
};

/// What the desktop is to do with the record.
enum class Command : int {
    Add = 0,    ///< put the icon into the notification area
    Modify = 1, ///< change what the flags name
    Delete = 2, ///< take the icon out of the notification area
};

/// The notification message number under which the desktop's notices are delivered.
inline constexpr int kCallbackMessage = 1125;

/// Most characters of each text that reach the desktop.
inline constexpr int kMaxTipChars = 127;
inline constexpr int kMaxInfoChars = 255;
inline constexpr int kMaxInfoTitleChars = 63;

/// One call's record. Texts are already cut to their limits by the control.
struct Record
{
    int id = 0;              ///< the icon's identifier
    int flags = 0;           ///< sum of Flag values
    int callbackMessage = 0; ///< kCallbackMessage on Add, else 0
    QIcon icon;
    QString tip;
    QString info;      ///< balloon text
    QString infoTitle; ///< balloon title
    int timeoutMs = 0; ///< balloon time-out; 0 leaves it to the desktop
    int infoFlags = 0; ///< always 0: no icon inside the balloon

    bool has(Flag flag) const { return (flags & flag) != 0; }
};

} // namespace TrayRecord

/// The notices the desktop sends back about the icon and its balloon, numbered as the
/// notification values of the tray callback message.
enum class TrayNotice : int {
    MouseMove = 512,
    LeftButtonDown = 513,
    LeftButtonUp = 514,
    LeftButtonDoubleClick = 515,
    RightButtonDown = 516,
    RightButtonUp = 517,
    RightButtonDoubleClick = 518,
    MiddleButtonDown = 519,
    MiddleButtonUp = 520,
    MiddleButtonDoubleClick = 521,
    BalloonShown = 1026,
    BalloonHidden = 1027,
    BalloonTimedOut = 1028,
    BalloonClicked = 1029,
};
