#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>
#include <windows.h>
// after windows.h, whose types it uses
#include <mmsystem.h>

class SoundFile;

/// One sound being played through the system's default audio output (waveOut), in the file's
/// own sample rate and channels; the system converts to what the output takes.
///
/// A sound held whole (SoundFile::isWhole) goes to the output in one buffer before it starts,
/// so nothing on this side can starve it, however busy the machine; any other is kept two
/// seconds ahead in four buffers, refilled by a thread of the sound's own as each one plays
/// out. Once the sound has played out, the output is let go of.
class WaveOutSound
{
  public:
    /// \a loop is read each time the sound ends: on, it starts again from the beginning.
    WaveOutSound(std::unique_ptr<SoundFile> file, const std::atomic<bool>& loop);
    /// Cuts the sound off and lets go of the output.
    ~WaveOutSound();
    WaveOutSound(const WaveOutSound&) = delete;
    WaveOutSound& operator=(const WaveOutSound&) = delete;

    /// Opens the output and starts the sound. False with \a whyNot set if the output refused
    /// it (no audio device, or a layout it cannot take).
    bool start(QString* whyNot);

  private:
    struct Buffer
    {
        WAVEHDR header{};
        std::vector<float> samples;
        bool queued = false;
    };

    bool queue(Buffer& buffer);
    void feed();
    void closeOutput();

    std::unique_ptr<SoundFile> m_file;
    const std::atomic<bool>& m_loop;
    HWAVEOUT m_output = nullptr;
    HANDLE m_bufferDone = nullptr; // set by the output each time a buffer has played out
    std::vector<Buffer> m_buffers; // never resized once the output has them
    qint64 m_framesPerBuffer = 0;
    bool m_readSinceRewind = false;
    bool m_ended = false;
    std::atomic<bool> m_stopping{false};
    std::thread m_feeder;
};
