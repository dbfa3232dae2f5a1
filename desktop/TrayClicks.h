#pragma once

#include "desktop/TrayRecord.h"

#include <QSystemTrayIcon>
#include <vector>

/// The notices the tray control expects for a click that Qt reports whole: the button going
/// down, then coming up. An X11 tray reports a double click as Trigger then DoubleClick, which
/// makes the usual down, up, double click, up.
std::vector<TrayNotice> noticesForClick(QSystemTrayIcon::ActivationReason reason);
