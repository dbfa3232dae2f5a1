#include "beep/SoundPlayback.h"

#include "beep/SoundFile.h"
#include "beep/SoundStream.h"

#include <QLoggingCategory>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcSound, "pingora.sound", QtWarningMsg)

namespace {

// A beep that could not start within this time after it was asked for is dropped: later it
// would no longer mark the moment it stands for.
constexpr qint64 kLongestWaitMs = 2000;

} // namespace

SoundPlayback::SoundPlayback(std::shared_ptr<SoundRequest> request) : m_request(std::move(request))
{
    // Called on libpulse's thread: the waiting sound is started here, in the sound thread.
    m_server.setOnReady([this] {
        QMetaObject::invokeMethod(this, &SoundPlayback::startWaitingSound, Qt::QueuedConnection);
    });
}

SoundPlayback::~SoundPlayback()
{
    ServerLock lock(m_server);
    m_server.setOnReady(nullptr);
    m_stream.reset();
}

void SoundPlayback::warmUp()
{
    ServerLock lock(m_server);
    m_server.connect();
}

void SoundPlayback::apply()
{
    QString path;
    {
        QMutexLocker lock(&m_request->mutex);
        if (m_request->serial == m_appliedSerial)
            return;
        m_appliedSerial = m_request->serial;
        path = m_request->path;
    }
    {
        ServerLock lock(m_server);
        m_stream.reset(); // the sound playing now is cut off
    }
    m_waiting.reset();
    bool started = false;
    if (!path.isEmpty()) {
        QString whyNot;
        if (auto file = SoundFile::open(path, &whyNot))
            started = play(std::move(file));
        else
            qCInfo(lcSound) << "cannot play:" << whyNot;
    }
    Q_EMIT applied(started);
}

bool SoundPlayback::play(std::unique_ptr<SoundFile> file)
{
    ServerLock lock(m_server);
    m_server.connect();
    if (!m_server.isReady()) {
        m_waiting = std::move(file);
        m_waitingSince.start();
        return true;
    }
    m_stream = std::make_unique<SoundStream>(m_server, std::move(file), m_request->loop);
    return m_stream->start();
}

void SoundPlayback::startWaitingSound()
{
    if (!m_waiting)
        return;
    if (m_waitingSince.elapsed() > kLongestWaitMs) {
        m_waiting.reset();
        return;
    }
    play(std::move(m_waiting));
}
