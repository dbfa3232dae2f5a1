#include "beep/MediaPlayer.h"

#include "beep/SoundPlayback.h"
#include "beep/SoundRequest.h"
#include "beep/SoundThread.h"
#include "core/Failure.h"
#include "core/SystemFileName.h"

#include <QFile>
#include <QMutexLocker>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Finds out on the calling thread, without blocking, what would keep the file from opening:
// stat() and open() of a regular file never wait, and O_NONBLOCK keeps open() of a FIFO
// from waiting for a writer.
void requireReadableFile(const QString& path)
{
    // The C library's text for an errno value: Qt's qt_error_string() takes most values for
    // Windows error codes on Windows ("Is a directory" would read "The device is not ready.").
    const auto cannotPlay = [&path](int error) {
        return Failure(QStringLiteral("The sound file %1 cannot be played: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    };
    const QByteArray native = SystemFileName(path);
    struct stat status
    {
    };
    if (::stat(native.constData(), &status) != 0)
        throw cannotPlay(errno);
    if (S_ISDIR(status.st_mode))
        throw cannotPlay(EISDIR);
    if (!S_ISREG(status.st_mode))
        throw Failure(QStringLiteral("%1 is not a regular file").arg(path));
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw cannotPlay(errno);
    ::close(fd);
}

} // namespace

MediaPlayer::MediaPlayer(QObject* parent)
    : QObject(parent), m_request(std::make_shared<SoundRequest>())
{
}

MediaPlayer::~MediaPlayer()
{
    // The playback lives in the sound thread and is deleted there; its sound stops with it.
    if (m_playback)
        m_playback->deleteLater();
}

void MediaPlayer::setLoop(bool on)
{
    m_request->loop = on;
}

bool MediaPlayer::loop() const
{
    return m_request->loop;
}

void MediaPlayer::close()
{
    {
        QMutexLocker lock(&m_request->mutex);
        m_request->path.clear();
        ++m_request->serial;
    }
    // Nothing can be playing before the first sound, so close() starts no thread.
    if (m_playback)
        post();
}

void MediaPlayer::setUrl(const QString& path)
{
    if (path.isEmpty()) {
        close();
        return;
    }
    requireReadableFile(path);
    {
        QMutexLocker lock(&m_request->mutex);
        m_request->path = path;
        ++m_request->serial;
    }
    ensurePlayback();
    post();
}

void MediaPlayer::prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    ensurePlayback();
    QMetaObject::invokeMethod(m_playback, &SoundPlayback::warmUp, Qt::QueuedConnection);
}

void MediaPlayer::ensurePlayback()
{
    if (m_playback)
        return;
    auto* playback = new SoundPlayback(m_request);
    playback->moveToThread(SoundThread::get());
    connect(playback, &SoundPlayback::applied, this, &MediaPlayer::requestApplied,
            Qt::QueuedConnection);
    m_playback = playback;
}

void MediaPlayer::post()
{
    QMetaObject::invokeMethod(m_playback, &SoundPlayback::apply, Qt::QueuedConnection);
}
