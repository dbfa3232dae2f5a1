#include "beep/engine/PulseSoundEngine.h"

#include "beep/engine/SoundFile.h"
#include "beep/engine/SoundStream.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSoundEngine, "pingora.sound", QtWarningMsg)

namespace {

// A beep that could not start within this time after it was asked for is dropped: later it
// would no longer mark the moment it stands for.
constexpr qint64 kLongestWaitMs = 2000;

} // namespace

PulseSoundEngine::PulseSoundEngine(const std::atomic<bool>& loop, std::function<void()> onReady)
    : m_loop(loop)
{
    m_server.setOnReady(std::move(onReady));
}

PulseSoundEngine::~PulseSoundEngine()
{
    ServerLock lock(m_server);
    m_server.setOnReady(nullptr);
    m_stream.reset();
}

void PulseSoundEngine::warmUp()
{
    ServerLock lock(m_server);
    m_server.connect();
}

bool PulseSoundEngine::play(const QString& path)
{
    {
        ServerLock lock(m_server);
        m_stream.reset(); // the sound playing now is cut off
    }
    m_waiting.reset();
    if (path.isEmpty())
        return false;
    QString whyNot;
    auto file = m_files.open(path, &whyNot);
    if (!file) {
        qCInfo(lcSoundEngine) << "cannot play:" << whyNot;
        return false;
    }
    return start(std::move(file));
}

bool PulseSoundEngine::start(std::unique_ptr<SoundFile> file)
{
    ServerLock lock(m_server);
    m_server.connect();
    if (!m_server.isReady()) {
        m_waiting = std::move(file);
        m_waitingSince.start();
        return true;
    }
    m_stream = std::make_unique<SoundStream>(m_server, std::move(file), m_loop);
    return m_stream->start();
}

void PulseSoundEngine::startWaitingSound()
{
    if (!m_waiting)
        return;
    if (m_waitingSince.elapsed() > kLongestWaitMs) {
        m_waiting.reset();
        return;
    }
    start(std::move(m_waiting));
}
