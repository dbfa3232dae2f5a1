#include "app/Form1.h"
#include "app/MainLoop.h"
#include "app/ProductInfo.h"
#include "app/ProgramFile.h"
#include "beep/MediaPlayer.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Before anything else: the program folder is held from the start, by a handle when the
    // locale cannot spell its name.
    ProgramFile::folderForOpening();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pingora"));
    QApplication::setDesktopFileName(ProductInfo::kAppId);

    Form1 form(Platform::real(), SettingsStore::forUser());
    form.Form_Load();
    form.showAsLoaded();
    form.WindowsMediaPlayer1->prepare(); // in the background: the first beep comes on time too
    return MainLoop::exec();
}
