#include "app/Form1.h"
#include "core/ProgramFile.h"

#include <QLineEdit>

void Form1::Text2_Change()
{
    // A path through a handle of this process (the default sound, when the program folder's
    // name is not valid text) would name nothing at the next start: the empty text stands for
    // the default sound there.
    const QString path = Text2->text();
    m_settings.write(SettingKeys::kBeep,
                     ProgramFile::namesOnlyInThisProcess(path) ? QString() : path);
}
