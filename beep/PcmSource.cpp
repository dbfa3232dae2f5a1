#include "beep/PcmSource.h"

#include "beep/DecodedSource.h"
#include "beep/WavSource.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::unique_ptr<PcmSource> PcmSource::open(const QString& path, QString* whyNot)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *whyNot = qt_error_string(errno);
        return nullptr;
    }
    struct stat status
    {
    };
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *whyNot = QStringLiteral("Not a regular file");
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *whyNot = file->errorString();
        ::close(fd);
        return nullptr;
    }
    if (auto wav = WavSource::create(file))
        return wav;
    file->seek(0);
    if (!DecodedSource::recognises(file->read(32))) {
        *whyNot = QStringLiteral("Not a sound file");
        return nullptr;
    }
    file.reset();
    return std::make_unique<DecodedSource>(path);
}
