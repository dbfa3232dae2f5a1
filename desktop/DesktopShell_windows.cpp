#include "desktop/DesktopShell.h"

#include "desktop/WindowsTrayShell.h"

TrayShell* makeDesktopShell(QObject* parent)
{
    return new WindowsTrayShell(parent);
}
