// The one symbol the sound module exports; see SoundEngine.h.
#include "beep/engine/PulseSoundEngine.h"

extern "C" __attribute__((visibility("default"))) SoundEngine*
pingora_create_sound_engine(const std::atomic<bool>* loop, std::function<void()> onReady)
{
    return new PulseSoundEngine(*loop, std::move(onReady));
}
