// The one function the sound module exports; see SoundEngine.h.
#include "beep/engine/WaveOutSoundEngine.h"

// The output is opened when a sound is played, in the sound thread: no sound ever waits for a
// connection, so onReady is never called.
extern "C" __declspec(dllexport)
    SoundEngine* pingora_create_sound_engine(const std::atomic<bool>* loop, std::function<void()>)
{
    return new WaveOutSoundEngine(*loop);
}
