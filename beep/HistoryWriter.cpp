#include "beep/HistoryWriter.h"

#include "core/Failure.h"
#include "core/NameRules.h"
#include "core/SystemFileName.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The bytes of one line appended to the log so far. A line is whole or not there at all: when
// the disk fills part way, the part written is cut off again, so that the next line does not
// start glued to a fragment. Copies of the program hold the log's lock through both; a writer
// that does not lock (another program) may still append, so the file is cut only while its end
// is still the end of this line's bytes.
class PartialLine
{
  public:
    explicit PartialLine(int fd) : m_fd(fd) {}

    qsizetype written() const { return m_written; }

    void wrote(ssize_t count)
    {
        // With O_APPEND each write lands at the end of the file as it is then, and leaves the
        // offset at the end of what it wrote.
        const off_t now = ::lseek(m_fd, 0, SEEK_CUR);
        if (now < 0 || (m_written > 0 && now != m_end + count))
            m_begin = -1; // unknown, or another copy's bytes came between ours: no cut is right
        else if (m_written == 0)
            m_begin = now - count;
        m_end = now;
        m_written += count;
    }

    void takeBack() const
    {
        struct stat info
        {
        };
        if (m_written == 0 || m_begin < 0 || ::fstat(m_fd, &info) != 0 || info.st_size != m_end)
            return;
        // Nothing more can be done when this fails: the write's own failure is reported.
        [[maybe_unused]] const int cut = ::ftruncate(m_fd, m_begin);
    }

  private:
    const int m_fd;
    qsizetype m_written = 0;
    off_t m_begin = -1;
    off_t m_end = -1;
};

// Holds the log from before a line is written until after any take-back of a part written:
// another copy's line can then neither land between the two parts of ours nor be cut by our
// take-back. The lock is the open file's, so closing the file releases it. A file system that
// cannot lock leaves the log unlocked, as before; a copy that holds it for long has hung, and
// the line is reported rather than waited for without end.
bool lockForAppending(int fd)
{
    // Another copy holds it only for a few system calls: short pauses keep a beep on time.
    const QDeadlineTimer enough(2000);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return true;
        if (enough.hasExpired())
            return false;
        ::usleep(200);
    }
    return true;
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

void IntervalSave::AppendHistoryLine(const QString& logPath, const QString& line)
{
    const QByteArray path = SystemFileName(logPath);
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
    if (!lockForAppending(fd)) {
        ::close(fd);
        throw Failure(QStringLiteral("The history log %1 is busy: another copy of the program "
                                     "is writing to it.")
                          .arg(logPath));
    }
    PartialLine sent(fd);
    while (sent.written() < bytes.size()) {
        const ssize_t result =
            ::write(fd, bytes.constData() + sent.written(), size_t(bytes.size() - sent.written()));
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0) {
            const int error = result < 0 ? errno : ENOSPC;
            sent.takeBack();
            ::close(fd);
            throw Failure(QStringLiteral("The history log %1 cannot be written: %2")
                              .arg(logPath, systemError(error)));
        }
        sent.wrote(result);
    }
    if (::close(fd) != 0)
        throw Failure(QStringLiteral("The history log %1 cannot be written: %2")
                          .arg(logPath, systemError(errno)));
}
