#include "desktop/TrayClicks.h"

std::vector<TrayNotice> noticesForClick(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return {TrayNotice::LeftButtonDown, TrayNotice::LeftButtonUp};
    case QSystemTrayIcon::DoubleClick:
        return {TrayNotice::LeftButtonDoubleClick, TrayNotice::LeftButtonUp};
    case QSystemTrayIcon::Context:
        return {TrayNotice::RightButtonDown, TrayNotice::RightButtonUp};
    case QSystemTrayIcon::MiddleClick:
        return {TrayNotice::MiddleButtonDown, TrayNotice::MiddleButtonUp};
    case QSystemTrayIcon::Unknown:
        break;
    }
    return {};
}
