#include "beep/engine/WaveOutSoundEngine.h"

#include "beep/engine/WaveOutSound.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSoundEngine, "pingora.sound", QtWarningMsg)

WaveOutSoundEngine::WaveOutSoundEngine(const std::atomic<bool>& loop) : m_loop(loop)
{
}

WaveOutSoundEngine::~WaveOutSoundEngine() = default;

void WaveOutSoundEngine::warmUp()
{
    // The first output opened starts the system's audio client in this process; the next
    // ones then open at once.
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 48000;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 48000 * 4;
    HWAVEOUT output = nullptr;
    if (waveOutOpen(&output, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR)
        waveOutClose(output);
    else
        qCInfo(lcSoundEngine) << "no audio output to warm up";
}

bool WaveOutSoundEngine::play(const QString& path)
{
    m_sound.reset(); // the sound playing now is cut off
    if (path.isEmpty())
        return false;
    QString whyNot;
    auto file = m_files.open(path, &whyNot);
    if (!file) {
        qCInfo(lcSoundEngine) << "cannot play:" << whyNot;
        return false;
    }
    auto sound = std::make_unique<WaveOutSound>(std::move(file), m_loop);
    if (!sound->start(&whyNot)) {
        qCInfo(lcSoundEngine) << "cannot play" << path << whyNot;
        return false;
    }
    m_sound = std::move(sound);
    return true;
}
