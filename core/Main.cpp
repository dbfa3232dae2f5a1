#include "core/Main.h"

#include "core/Failure.h"
#include "core/MainLoop.h"
#include "core/SystemFileName.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

bool Main::FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat info
    {
    };
    return ::stat(SystemFileName(path).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void Main::WaitSeconds(double seconds)
{
    if (!(seconds > 0))
        return;
    const QDeadlineTimer deadline(qint64(seconds * 1000.0), Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        // Sleep on the event queue until an event comes or the time is up.
        QEventLoop loop;
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
        wake.start(int(qMax<qint64>(0, deadline.remainingTime())));
        loop.exec();
    }
}

QString Main::FormatSeconds(qint32 seconds)
{
    const qint64 timeOfDay = std::llabs(qint64(seconds)) % 86400;
    return QStringLiteral("%1:%2:%3")
        .arg(timeOfDay / 3600, 2, 10, QChar(u'0'))
        .arg(timeOfDay / 60 % 60, 2, 10, QChar(u'0'))
        .arg(timeOfDay % 60, 2, 10, QChar(u'0'));
}

QString Main::trimSpaces(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

void Main::RemoveFile(const QString& path)
{
    MainLoop::DoEvents();
    if (QFile::remove(path))
        return;
    try {
        ForceDeleteFile(path);
    } catch (const Failure&) {
        // The caller is not told; the file then stays as it was.
    }
}

void Main::ForceDeleteFile(const QString& path)
{
    const QByteArray name = SystemFileName(path);
    struct stat info
    {
    };
    if (::lstat(name.constData(), &info) != 0)
        throw Failure(
            QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (S_ISDIR(info.st_mode))
        throw Failure(QStringLiteral("%1 is a folder, not a file.").arg(path));
    // On Linux whether a file may be deleted depends on its folder, never on the file's own
    // mode, so nothing is changed before the attempt: a mode change would follow a link and
    // could open another file to everyone.
    if (::unlink(name.constData()) != 0)
        throw Failure(QStringLiteral("%1 cannot be deleted: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}
