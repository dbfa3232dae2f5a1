#include "desktop/DesktopShell.h"

#include "desktop/DesktopTrayShell.h"

TrayShell* makeDesktopShell(QObject* parent)
{
    return new DesktopTrayShell(parent);
}
