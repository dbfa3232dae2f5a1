#include "beep/IntervalSave.h"

#include "app/ErrorTrap.h"
#include "app/Failure.h"
#include "app/Form1.h"
#include "app/NameRules.h"
#include "beep/MediaPlayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// The user's short date with the year written in full.
QString shortDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return format;
}

// The user's long time without the time zone that Qt adds to it.
QString longTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
    return format.trimmed();
}

} // namespace

QString IntervalSave::DateTimeText(const QDateTime& when, const QLocale& locale)
{
    const QString date = locale.toString(when.date(), shortDateFormat(locale));
    // Midnight to the second: the clock's milliseconds do not count.
    const QTime time = when.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + u' ' + locale.toString(when.time(), longTimeFormat(locale));
}

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
            if (!isHiddenName(match) && isRegularFile(QFile::encodeName(folder.filePath(match))))
                return true;
        return false;
    }
    return !isHiddenName(name) && isRegularFile(QFile::encodeName(path));
}

void IntervalSave::AppendHistoryLine(const QString& logPath, const QString& line)
{
    const QByteArray path = QFile::encodeName(logPath);
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toLocal8Bit();
    // Without blocking (a FIFO would wait for a reader), and only to a regular file.
    const int flags =
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const auto notRegular = [&] {
        return Failure(QStringLiteral("The history log %1 is not a regular file").arg(logPath));
    };
    int fd = ::open(path.constData(), flags, 0600);
    if (fd < 0 && errno == ENOENT) {
        // The per-user fallback folder may not exist yet; a missing TEMP folder stays missing.
        const QString folder = QFileInfo(logPath).absolutePath();
        if (QDir::cleanPath(folder) == QDir::cleanPath(NameRules::StateFolder()) &&
            QDir().mkpath(folder))
            fd = ::open(path.constData(), flags, 0600);
    }
    // A FIFO without a reader (ENXIO) or a folder is no log to write to.
    if (fd < 0 && (errno == ENXIO || errno == EISDIR))
        throw notRegular();
    if (fd < 0)
        throw Failure(QStringLiteral("The history log %1 cannot be opened: %2")
                          .arg(logPath, systemError(errno)));
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw notRegular();
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t result =
            ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0) {
            const int error = result < 0 ? errno : ENOSPC;
            ::close(fd);
            throw Failure(QStringLiteral("The history log %1 cannot be written: %2")
                              .arg(logPath, systemError(error)));
        }
        written += result;
    }
    if (::close(fd) != 0)
        throw Failure(QStringLiteral("The history log %1 cannot be written: %2")
                          .arg(logPath, systemError(errno)));
}

void IntervalSave::BeepNow(Form1& form)
{
    ErrorTrap trap(Locations::kBeepNow);
    auto append = [&](const QString& prefix) {
        AppendHistoryLine(form.HistoryLogPath, prefix + DateTimeText(form.platform().now()));
    };
    if (trap.test(100, [&] { return !form.Text2->text().isEmpty(); })) {
        if (trap.test(102, [&] { return FindsBeepFile(form.Text2->text()); })) {
            trap.run(104, [&] { form.WindowsMediaPlayer1->setLoop(false); });
            trap.run(106, [&] { form.WindowsMediaPlayer1->close(); });
            trap.run(108, [&] { form.WindowsMediaPlayer1->setUrl(form.Text2->text()); });
            trap.run(110, [&] { append(kBeepedAt); });
        } else {
            trap.run(112, [&] { append(kFileNotFound); });
        }
    } else {
        trap.run(114, [&] { append(kNoFileSpecified); });
    }
}
