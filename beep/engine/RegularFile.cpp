#include "beep/engine/RegularFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

qint64 nanoseconds(const timespec& time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

} // namespace

std::unique_ptr<RegularFile> RegularFile::open(const QString& path, QString* whyNot)
{
    // O_NONBLOCK: a FIFO would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *whyNot = qt_error_string(errno);
        return nullptr;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *whyNot = QStringLiteral("%1 is not a regular file").arg(path);
        ::close(fd);
        return nullptr;
    }
    const FileIdentity identity{quint64(status.st_dev), quint64(status.st_ino), status.st_size,
                                nanoseconds(status.st_mtim), nanoseconds(status.st_ctim)};
    return std::unique_ptr<RegularFile>(new RegularFile(fd, identity));
}

RegularFile::~RegularFile()
{
    ::close(static_cast<int>(m_handle));
}

qint64 RegularFile::read(void* data, qint64 bytes)
{
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(m_handle), data, static_cast<size_t>(bytes));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

qint64 RegularFile::seek(qint64 offset, int whence)
{
    return ::lseek(static_cast<int>(m_handle), offset, whence);
}

qint64 RegularFile::size()
{
    struct stat status
    {
    };
    return ::fstat(static_cast<int>(m_handle), &status) == 0 ? status.st_size : -1;
}
