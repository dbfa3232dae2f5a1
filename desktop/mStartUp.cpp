#include "desktop/mStartUp.h"

#include "desktop/RegStuff.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace mStartUp {

QString executablePath()
{
    // Linked or copied launchers must not end up in the entry: the file that runs now does.
    const QString running = QCoreApplication::applicationFilePath();
    const QString real = QFileInfo(running).canonicalFilePath();
    return real.isEmpty() ? running : real;
}

void AddToStartup()
{
    AddToStartup(executablePath());
}

void AddToStartup(const QString& executable)
{
    if (executable.isEmpty())
        return;
    RegStuff::SetRunEntry(executable);
}

void RemoveFromStartup()
{
    RegStuff::DeleteRunEntry();
}

} // namespace mStartUp
