#include "beep/BeepAction.h"

#include "beep/HistoryWriter.h"
#include "beep/MediaPlayer.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"
#include "core/SystemFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

// The error report's location text of the beep action.
const QString kBeepNowLocation = QStringLiteral("in Belvane2021/08/31.IntervalSave.BeepNow ");

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isHiddenName(const QString& name)
{
    return name.startsWith(u'.');
}

bool isRegularFile(const QByteArray& path)
{
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) == 0)
        return S_ISREG(info.st_mode);
    if (errno == ENAMETOOLONG || errno == ELOOP)
        throw Failure(QStringLiteral("Bad file name: %1").arg(systemError(errno)));
    return false;
}

// A file that the search finds but the player cannot open (a name with wildcards, an
// unreadable file) fails the same way at every beep: on the shortest interval a timed beep
// would show the same report every second. Such a failure is reported once for a run of timed
// beeps of the same file.
void startSound(const IntervalSave::BeepParts& parts, IntervalSave::Beep kind)
{
    const QString path = parts.soundPath();
    try {
        parts.player.setUrl(path);
        parts.playerFailureReported.clear();
    } catch (...) {
        if (kind == IntervalSave::Beep::Timed) {
            if (path == parts.playerFailureReported)
                return;
            parts.playerFailureReported = path;
        }
        throw;
    }
}

} // namespace

bool IntervalSave::FindsBeepFile(const QString& path)
{
    if (path.contains(QChar(0)))
        throw Failure(QStringLiteral("Bad file name: the name contains a NUL character."));
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty())
        return false;
    if (name.contains(u'*') || name.contains(u'?')) {
        const QDir folder = info.dir();
        for (const QString& match : folder.entryList({name}, QDir::Files | QDir::NoDotAndDotDot))
            if (!isHiddenName(match) && isRegularFile(SystemFileName(folder.filePath(match))))
                return true;
        return false;
    }
    return !isHiddenName(name) && isRegularFile(SystemFileName(path));
}

void IntervalSave::BeepNow(const BeepParts& parts, Beep kind)
{
    // A beep of another file ends a run of beeps that failed the same way.
    if (parts.soundPath() != parts.playerFailureReported)
        parts.playerFailureReported.clear();
    ErrorTrap trap(kBeepNowLocation);
    auto append = [&](const QString& prefix) {
        AppendHistoryLine(parts.logPath, prefix + DateTimeText(parts.now()));
    };
    if (trap.test(100, [&] { return !parts.soundPath().isEmpty(); })) {
        if (trap.test(102, [&] { return FindsBeepFile(parts.soundPath()); })) {
            trap.run(104, [&] { parts.player.setLoop(false); });
            trap.run(106, [&] { parts.player.close(); });
            trap.run(108, [&] { startSound(parts, kind); });
            trap.run(110, [&] { append(kBeepedAt); });
        } else {
            trap.run(112, [&] { append(kFileNotFound); });
        }
    } else {
        trap.run(114, [&] { append(kNoFileSpecified); });
    }
}
