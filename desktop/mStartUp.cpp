#include "desktop/mStartUp.h"

#include "core/Failure.h"
#include "core/ProgramFile.h"
#include "desktop/AutostartEntry.h"

#include <QFileInfo>

namespace mStartUp {

QByteArray executablePath()
{
    // Linked or copied launchers must not end up in the entry: the file that runs now does.
    return ProgramFile::path();
}

void AddToStartup()
{
    AddToStartup(executablePath());
}

void AddToStartup(const QByteArray& executable)
{
    if (executable.isEmpty())
        throw Failure(QStringLiteral("The program's own file could not be found, so no log-on "
                                     "entry was written."));
    AutostartEntry::SetRunEntry(executable);
}

void RemoveFromStartup()
{
    AutostartEntry::DeleteRunEntry();
}

bool IsInStartup()
{
    return QFileInfo::exists(AutostartEntry::autostartEntryPath());
}

} // namespace mStartUp
