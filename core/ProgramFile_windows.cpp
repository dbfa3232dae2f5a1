#include "core/ProgramFile.h"

#include <QDir>
#include <QFile>
#include <string>
#include <windows.h>

// On Windows a path is UTF-16 text, which QString holds exactly; the bytes are its UTF-8.

namespace ProgramFile {

namespace {

QString runningExecutable()
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (size == 0)
            return {};
        if (size < name.size()) // else it was cut to the buffer
            return QDir::fromNativeSeparators(QString::fromWCharArray(name.data(), size));
        name.resize(name.size() * 2);
    }
}

} // namespace

QByteArray path()
{
    return runningExecutable().toUtf8();
}

QByteArray folder()
{
    const QString file = runningExecutable();
    const qsizetype slash = file.lastIndexOf(u'/');
    return slash < 0 ? QByteArray() : file.left(slash).toUtf8();
}

QString folderForOpening()
{
    return QString::fromUtf8(folder());
}

bool namesOnlyInThisProcess(const QString&)
{
    return false; // every folder has a name that text can hold
}

bool spelledExactly(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace ProgramFile
