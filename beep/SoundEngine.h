#pragma once

#include <QString>
#include <atomic>
#include <functional>

/// The part of the media player that touches the sound stack: decoding (libsndfile,
/// libwavpack) and output (libpulse). It is a module of its own, sound/libpingora-sound.so in
/// the program folder, loaded in the sound thread when the first sound is near, so that nothing of
/// the sound stack is loaded or run before the window is up. Used from the sound thread only.
class SoundEngine
{
  public:
    virtual ~SoundEngine() = default;

    /// Starts connecting to the sound server ahead of the first sound; returns at once.
    virtual void warmUp() = 0;
    /// Cuts off the sound playing now and starts the file at \a path (nothing, if empty).
    /// True if a sound began, or will as soon as the sound server is ready.
    virtual bool play(const QString& path) = 0;
    /// Starts the sound that waited for the server, after onReady was called.
    virtual void startWaitingSound() = 0;
};

/// The module's entry point, kCreateSoundEngine: makes the engine. \a loop is read each time
/// a sound ends (on: it starts again). \a onReady is called on libpulse's own thread each time
/// the connection to the sound server becomes ready.
using CreateSoundEngine = SoundEngine* (*)(const std::atomic<bool>* loop,
                                           std::function<void()> onReady);
inline constexpr char kCreateSoundEngine[] = "pingora_create_sound_engine";
/// The module's file name, and its folder inside the program folder.
inline constexpr char kSoundEngineModule[] = "libpingora-sound.so";
inline constexpr char kSoundEngineFolder[] = "sound";
