#pragma once

#include <QString>
#include <atomic>
#include <functional>

/// The part of the media player that touches the sound stack: decoding (libsndfile,
/// libwavpack) and output (libpulse on Linux, waveOut on Windows). It is a module of its own,
/// sound/libpingora-sound.so (sound\pingora-sound.dll) in the program folder, loaded in the sound
/// thread when the first sound is near, so that nothing of the sound stack is loaded or run
/// before the window is up. Used from the sound thread only.
class SoundEngine
{
  public:
    virtual ~SoundEngine() = default;

    /// Gets the output ready ahead of the first sound (starts connecting to the sound server,
    /// or opens the audio output once); never waits for a sound server.
    virtual void warmUp() = 0;
    /// Cuts off the sound playing now and starts the file at \a path (nothing, if empty).
    /// True if a sound began, or will as soon as the sound server is ready.
    virtual bool play(const QString& path) = 0;
    /// Starts the sound that waited for the server, after onReady was called.
    virtual void startWaitingSound() = 0;
};

/// The module's entry point, kCreateSoundEngine: makes the engine. \a loop is read each time
/// a sound ends (on: it starts again). \a onReady is called on the engine's own thread each
/// time the connection to the sound server becomes ready (libpulse's thread; never on Windows,
/// where no sound waits for a connection).
using CreateSoundEngine = SoundEngine* (*)(const std::atomic<bool>* loop,
                                           std::function<void()> onReady);
inline constexpr char kCreateSoundEngine[] = "pingora_create_sound_engine";
/// The module's name, which the loader completes as the platform names modules
/// (libpingora-sound.so, pingora-sound.dll), and its folder inside the program folder.
inline constexpr char kSoundEngineModule[] = "pingora-sound";
inline constexpr char kSoundEngineFolder[] = "sound";
