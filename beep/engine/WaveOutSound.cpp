#include "beep/engine/WaveOutSound.h"

#include "beep/engine/SoundFile.h"

#include <mmreg.h>

namespace {

// How much of a sound read piece by piece the output holds ahead, as on the other platform: a
// busy machine may keep the feeder from refilling for tenths of a second without a gap.
constexpr int kStreamedBuffers = 4;
constexpr qint64 kStreamedBufferMs = 500;
// How long the output stays open after the last buffer has played out: the system reports a
// buffer done when it has taken it, which may be a little before the speaker has played it.
constexpr DWORD kLingerMs = 250;

// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, written out to spare a link against the kernel streaming
// library for one constant.
constexpr GUID kFloatSamples = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// 32-bit float samples in the file's layout. Channels are assigned to speakers in the order
// the WAV format gives them, as the other platform's output does.
WAVEFORMATEXTENSIBLE formatOf(const SoundFile& file)
{
    WAVEFORMATEXTENSIBLE format{};
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.nChannels = static_cast<WORD>(file.channels());
    format.Format.nSamplesPerSec = static_cast<DWORD>(file.sampleRate());
    format.Format.wBitsPerSample = 32;
    format.Format.nBlockAlign = static_cast<WORD>(file.channels() * sizeof(float));
    format.Format.nAvgBytesPerSec = format.Format.nSamplesPerSec * format.Format.nBlockAlign;
    format.Format.cbSize = sizeof format - sizeof format.Format;
    format.Samples.wValidBitsPerSample = 32;
    // One channel is the centre speaker, as Windows plays mono; the WAV format names 18
    // speakers, and more channels than that have none.
    format.dwChannelMask = file.channels() == 1    ? SPEAKER_FRONT_CENTER
                           : file.channels() <= 18 ? (DWORD(1) << file.channels()) - 1
                                                   : 0;
    format.SubFormat = kFloatSamples;
    return format;
}

QString outputErrorText(MMRESULT result)
{
    wchar_t text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextW(result, text, MAXERRORLENGTH) != MMSYSERR_NOERROR)
        return QStringLiteral("audio output error %1").arg(result);
    return QString::fromWCharArray(text);
}

} // namespace

WaveOutSound::WaveOutSound(std::unique_ptr<SoundFile> file, const std::atomic<bool>& loop)
    : m_file(std::move(file)), m_loop(loop)
{
}

WaveOutSound::~WaveOutSound()
{
    m_stopping = true;
    if (m_feeder.joinable()) {
        SetEvent(m_bufferDone);
        m_feeder.join();
    }
    closeOutput();
    if (m_bufferDone)
        CloseHandle(m_bufferDone);
}

bool WaveOutSound::start(QString* whyNot)
{
    const bool whole = m_file->isWhole();
    m_framesPerBuffer = whole ? m_file->frames() : m_file->sampleRate() * kStreamedBufferMs / 1000;
    m_buffers.resize(whole ? 1 : kStreamedBuffers);
    for (Buffer& buffer : m_buffers)
        buffer.samples.resize(static_cast<size_t>(m_framesPerBuffer) * m_file->channels());

    m_bufferDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const WAVEFORMATEXTENSIBLE format = formatOf(*m_file);
    const MMRESULT opened =
        waveOutOpen(&m_output, WAVE_MAPPER, &format.Format,
                    reinterpret_cast<DWORD_PTR>(m_bufferDone), 0, CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
        m_output = nullptr;
        *whyNot = outputErrorText(opened);
        return false;
    }
    // All buffers are handed over before the output starts, so that the first one cannot run
    // dry while the next are filled.
    waveOutPause(m_output);
    for (Buffer& buffer : m_buffers)
        if (!queue(buffer))
            break;
    waveOutRestart(m_output);
    m_feeder = std::thread(&WaveOutSound::feed, this);
    return true;
}

// Fills the buffer from the file and hands it to the output; false at the end of the sound.
bool WaveOutSound::queue(Buffer& buffer)
{
    if (m_ended)
        return false;
    qint64 frames = m_file->read(buffer.samples.data(), m_framesPerBuffer);
    if (frames == 0 && m_loop && m_readSinceRewind && m_file->rewind()) {
        m_readSinceRewind = false;
        frames = m_file->read(buffer.samples.data(), m_framesPerBuffer);
    }
    if (frames == 0) {
        m_ended = true;
        return false;
    }
    m_readSinceRewind = true;
    buffer.header = {};
    buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
    buffer.header.dwBufferLength =
        static_cast<DWORD>(frames * m_file->channels() * qint64(sizeof(float)));
    if (waveOutPrepareHeader(m_output, &buffer.header, sizeof buffer.header) != MMSYSERR_NOERROR) {
        m_ended = true;
        return false;
    }
    if (waveOutWrite(m_output, &buffer.header, sizeof buffer.header) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(m_output, &buffer.header, sizeof buffer.header);
        m_ended = true;
        return false;
    }
    buffer.queued = true;
    return true;
}

// Runs on the sound's own thread: refills each buffer the output has played out, and lets go
// of the output once the sound has ended.
void WaveOutSound::feed()
{
    for (;;) {
        WaitForSingleObject(m_bufferDone, INFINITE);
        if (m_stopping)
            return;
        bool playing = false;
        for (Buffer& buffer : m_buffers) {
            if (buffer.queued && (buffer.header.dwFlags & WHDR_DONE)) {
                waveOutUnprepareHeader(m_output, &buffer.header, sizeof buffer.header);
                buffer.queued = false;
                queue(buffer);
            }
            playing = playing || buffer.queued;
        }
        if (!playing)
            break;
    }
    if (WaitForSingleObject(m_bufferDone, kLingerMs) == WAIT_OBJECT_0 && m_stopping)
        return; // cut off meanwhile: the destructor closes the output
    closeOutput();
}

void WaveOutSound::closeOutput()
{
    if (!m_output)
        return;
    // Returns every buffer still queued, marked done.
    waveOutReset(m_output);
    for (Buffer& buffer : m_buffers)
        if (buffer.queued) {
            waveOutUnprepareHeader(m_output, &buffer.header, sizeof buffer.header);
            buffer.queued = false;
        }
    waveOutClose(m_output);
    m_output = nullptr;
}
