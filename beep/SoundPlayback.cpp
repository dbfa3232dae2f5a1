#include "beep/SoundPlayback.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QMutexLocker>
#include <QScopedValueRollback>

Q_LOGGING_CATEGORY(lcSound, "pingora.sound", QtWarningMsg)

namespace {

// Refilling every 20 ms keeps the output's 145 ms buffer far from empty even on a busy machine.
constexpr int kFeedIntervalMs = 20;
// A sound that makes no progress for this long (a decoder or a server that has stalled) is
// given up, so that no timer keeps waking the program.
constexpr qint64 kStallLimitMs = 3000;

} // namespace

SoundPlayback::SoundPlayback(std::shared_ptr<SoundRequest> request)
    : m_request(std::move(request)), m_feeder(this)
{
    m_feeder.setInterval(kFeedIntervalMs);
    connect(&m_feeder, &QTimer::timeout, this, &SoundPlayback::feed);
}

SoundPlayback::~SoundPlayback()
{
    m_feeder.stop();
    if (m_output) {
        m_output->disconnect(this);
        m_output->stop();
    }
}

void SoundPlayback::warmUp()
{
    // The first use connects to the sound server, which may take long or (with a server
    // that does not answer) until libpulse gives up. That is why it happens here.
    QMediaDevices::defaultAudioOutput();
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
    release();
    const bool started = !path.isEmpty() && begin(path);
    Q_EMIT applied(started);
}

bool SoundPlayback::begin(const QString& path)
{
    QString whyNot;
    m_source = PcmSource::open(path, &whyNot);
    if (!m_source) {
        qCInfo(lcSound) << "cannot play" << path << ":" << whyNot;
        return false;
    }
    connect(m_source.get(), &PcmSource::dataAvailable, this, &SoundPlayback::feed);
    m_sinceProgress.start();
    if (m_source->isReady() && !openOutput()) {
        release();
        return false;
    }
    feed();
    if (m_source)
        m_feeder.start();
    return m_source != nullptr;
}

bool SoundPlayback::openOutput()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        qCInfo(lcSound) << "no sound output";
        return false;
    }
    m_output = std::make_unique<QAudioSink>(device, m_source->format());
    connect(m_output.get(), &QAudioSink::stateChanged, this, &SoundPlayback::onOutputState);
    m_outputDevice = m_output->start();
    if (!m_outputDevice) {
        // E.g. the sound server went away; Qt reconnects to it by itself later on.
        qCInfo(lcSound) << "sound output failed to start, error" << m_output->error();
        m_output.reset();
        return false;
    }
    return true;
}

void SoundPlayback::feed()
{
    // A source may signal from inside a call made here (a decoder that stops or fails);
    // the loop below already handles what that signal reports.
    if (!m_source || m_feeding)
        return;
    const QScopedValueRollback feeding(m_feeding, true);
    if (m_sinceProgress.elapsed() > kStallLimitMs || (m_draining && playedOut())) {
        release();
        return;
    }
    if (m_draining)
        return;
    if (!m_output) {
        if (!m_source->isReady()) {
            if (m_source->atEnd())
                release(); // nothing decodable in the file
            return;
        }
        if (!openOutput()) {
            release();
            return;
        }
    }
    const int frameBytes = m_source->format().bytesPerFrame();
    for (;;) {
        if (!m_pending.isEmpty()) {
            const qint64 written = m_outputDevice->write(m_pending);
            if (written < 0) {
                release();
                return;
            }
            m_pending.remove(0, written);
            if (!m_pending.isEmpty())
                return; // the output is full; the next tick goes on
        }
        qint64 room = m_output->bytesFree();
        room -= room % frameBytes;
        if (room <= 0)
            return;
        m_pending.resize(room);
        const qint64 got = m_source->read(m_pending.data(), room);
        m_pending.resize(std::max<qint64>(got, 0));
        if (got > 0) {
            m_readSinceRewind = true;
            m_sinceProgress.start();
            continue;
        }
        if (!m_source->atEnd())
            return; // the decoder is still working; dataAvailable calls back
        if (m_request->loop && m_readSinceRewind && m_source->rewind()) {
            m_readSinceRewind = false;
            continue;
        }
        // Fill the output's buffer with silence so that even a very short sound starts, and
        // let it play out: the output is released once the server has taken it all.
        const char silence = m_source->format().sampleFormat() == QAudioFormat::UInt8 ? '\x80' : 0;
        m_outputDevice->write(QByteArray(room, silence));
        m_draining = true;
        m_sinceProgress.start();
        return;
    }
}

void SoundPlayback::onOutputState(QAudio::State state)
{
    if ((m_draining && state == QAudio::IdleState && playedOut()) ||
        (m_output && m_output->error() == QAudio::FatalError))
        release();
}

// The server has taken everything written, the silence after the sound included. Checked as
// well as the idle state, since an underrun earlier in the sound may report idle late.
bool SoundPlayback::playedOut() const
{
    return m_output && m_output->bytesFree() >= m_output->bufferSize();
}

void SoundPlayback::release()
{
    // release() may run inside a signal of the output or the source, so they are deleted
    // once that signal has returned.
    m_feeder.stop();
    if (m_output) {
        m_output->disconnect(this);
        m_output->stop();
        m_output.release()->deleteLater();
    }
    m_outputDevice = nullptr;
    if (m_source) {
        m_source->disconnect(this);
        m_source.release()->deleteLater();
    }
    m_pending.clear();
    m_draining = false;
    m_readSinceRewind = false;
}
