#include "appearance/SkinFile.h"

#include "core/Failure.h"
#include "core/SystemFileName.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void refuse(const QString& path, const QString& reason)
{
    throw Failure(QStringLiteral("Cannot use the skin file %1: %2").arg(path, reason));
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

/// Refuses anything but a regular file of acceptable size, judged by its status.
void checkKind(const QString& path, const struct stat& status)
{
    if (S_ISDIR(status.st_mode))
        refuse(path, QStringLiteral("it is a folder"));
    if (!S_ISREG(status.st_mode))
        refuse(path, QStringLiteral("it is not a regular file"));
    if (status.st_size > kMaxSkinFileBytes)
        refuse(path, QStringLiteral("it is larger than 1 MiB"));
}

class FileDescriptor
{
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

} // namespace

QString readSkinFile(const QString& path)
{
    const QByteArray nativePath = SystemFileName(path);

    // Judge the file before opening it: opening a FIFO waits for a writer and opening a
    // device can have effects of its own.
    struct stat status
    {
    };
    if (::stat(nativePath.constData(), &status) != 0)
        refuse(path, systemReason(errno));
    checkKind(path, status);

    // O_NONBLOCK keeps the open from waiting should the path have been swapped for a FIFO
    // since the check; fstat then judges what was really opened.
    const FileDescriptor file(
        ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        refuse(path, systemReason(errno));
    if (::fstat(file.get(), &status) != 0)
        refuse(path, systemReason(errno));
    checkKind(path, status);

    // Read one byte past the limit, so that a file that grew after fstat is still caught.
    QByteArray bytes(kMaxSkinFileBytes + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            refuse(path, systemReason(errno));
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);

    if (bytes.size() > kMaxSkinFileBytes)
        refuse(path, QStringLiteral("it is larger than 1 MiB"));
    if (bytes.contains('\0'))
        refuse(path, QStringLiteral("it is not text (it contains NUL bytes)"));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        refuse(path, QStringLiteral("it is not UTF-8 text"));
    if (text.trimmed().isEmpty())
        refuse(path, QStringLiteral("it is empty"));
    return text;
}
