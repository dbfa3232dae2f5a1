#include "core/ProgramFile.h"

#include <QFile>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace ProgramFile {

namespace {

// Where the system names this process's open handles.
constexpr char kHandleFolder[] = "/proc/self/fd";

QByteArray realPath(const char* path)
{
    char* real = realpath(path, nullptr);
    if (!real)
        return {};
    QByteArray bytes(real);
    std::free(real);
    return bytes;
}

} // namespace

QByteArray path()
{
    if (QByteArray running = realPath("/proc/self/exe"); !running.isEmpty())
        return running;
    // The file was replaced while the program runs (a package upgrade): the kernel then names
    // the old one "<path> (deleted)", and the new file at that path is the program now.
    char link[PATH_MAX + 1];
    const ssize_t size = readlink("/proc/self/exe", link, PATH_MAX);
    if (size <= 0)
        return {};
    QByteArray named(link, size);
    const QByteArray deleted(" (deleted)");
    if (!named.endsWith(deleted))
        return {};
    named.chop(deleted.size());
    return realPath(named.constData());
}

QByteArray folder()
{
    const QByteArray file = path();
    const qsizetype slash = file.lastIndexOf('/');
    if (slash < 0)
        return {};
    return slash == 0 ? QByteArray("/") : file.left(slash);
}

bool namesOnlyInThisProcess(const QString& path)
{
    return path.startsWith(QLatin1String(kHandleFolder) + u'/');
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
        return QStringLiteral("%1/%2").arg(QLatin1String(kHandleFolder)).arg(handle);
    }();
    return opened;
}

} // namespace ProgramFile
