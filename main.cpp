#include "app/Form1.h"
#include "core/FileSizeLimit.h"
#include "core/MainLoop.h"
#include "core/ProductInfo.h"
#include "core/ProgramFile.h"
#include "core/WindowSystem.h"

#include <QApplication>
#include <QPixmapCache>

namespace {
constexpr int kPictureCacheKiB = 64;
}

int main(int argc, char** argv)
{
    // Before anything else: the program folder is held from the start, by a handle when the
    // locale cannot spell its name.
    ProgramFile::folderForOpening();
    FileSizeLimit::reportInsteadOfEnding();
    // Through X11 when a Wayland session also runs an X server: Wayland never tells a program
    // that its window was minimised, so the window could not go to the tray there. On X11,
    // without the shared-memory round trip that would wake the program at every tick.
    WindowSystem::prepareQt(argc, argv);
    QApplication app(argc, argv);
    WindowSystem::takeBackRequests();
    // Qt's tray item names itself after the application, as the program's own item does.
    QApplication::setApplicationName(ProductInfo::kProductName);
    QApplication::setDesktopFileName(ProductInfo::kAppId);
    // The style keeps a picture of each button's face at its full size, 55 KB for the widest,
    // to repaint it faster on hover. A window that is counting all day repaints no buttons: a
    // small cache keeps the small pictures and draws the wide ones anew on the rare repaint.
    QPixmapCache::setCacheLimit(kPictureCacheKiB);

    Form1 form(Platform::real(), SettingsStore::forUser());
    form.Form_Load();
    form.showAsLoaded();
    form.prepareSoundIfNear(); // the sound stack only for a beep that is near
    return MainLoop::exec();
}
