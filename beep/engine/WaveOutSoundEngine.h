#pragma once

#include "beep/SoundEngine.h"
#include "beep/engine/SoundFileCache.h"

#include <memory>

class WaveOutSound;

/// Plays sound files through the system's default audio output, one at a time, with waveOut:
/// the system converts any sample rate and layout to the output's own, and a short sound is
/// handed over whole before it starts (see WaveOutSound).
///
/// Opening the output may take a moment (the audio service's first client), but it is made in
/// the sound thread and never waited for by the window; there is no connection to wait for
/// beyond that, so no sound is ever left waiting.
class WaveOutSoundEngine final : public SoundEngine
{
  public:
    explicit WaveOutSoundEngine(const std::atomic<bool>& loop);
    ~WaveOutSoundEngine() override;

    void warmUp() override;
    bool play(const QString& path) override;
    void startWaitingSound() override {}

  private:
    const std::atomic<bool>& m_loop;
    std::unique_ptr<WaveOutSound> m_sound;
    SoundFileCache m_files;
};
