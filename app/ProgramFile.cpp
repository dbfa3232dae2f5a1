#include "app/ProgramFile.h"

#include <QFile>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace ProgramFile {

QByteArray path()
{
    char* real = realpath("/proc/self/exe", nullptr);
    if (!real)
        return {};
    QByteArray bytes(real);
    std::free(real);
    return bytes;
}

QByteArray folder()
{
    const QByteArray file = path();
    const qsizetype slash = file.lastIndexOf('/');
    if (slash < 0)
        return {};
    return slash == 0 ? QByteArray("/") : file.left(slash);
}

bool spelledExactly(const QByteArray& bytes)
{
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

QString folderForOpening()
{
    static const QString opened = [] {
        const QByteArray bytes = folder();
        if (bytes.isEmpty() || spelledExactly(bytes))
            return QFile::decodeName(bytes);
        // Held until the process ends, so the name stays valid for every later open.
        const int handle = ::open(bytes.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (handle < 0)
            return QFile::decodeName(bytes);
        return QStringLiteral("/proc/self/fd/%1").arg(handle);
    }();
    return opened;
}

} // namespace ProgramFile
