#pragma once

#include "beep/SoundEngine.h"
#include "beep/engine/SoundFileCache.h"
#include "beep/engine/SoundServer.h"

#include <QElapsedTimer>
#include <memory>

class SoundFile;
class SoundStream;

/// Plays sound files through the default output of the sound server, one at a time.
///
/// A sound short enough to be held whole is decoded before its stream is made and handed to the
/// server in one go (SoundFileCache). A sound asked for while the connection is still being made
/// starts as soon as it is ready, unless that takes so long that the sound would come noticeably
/// late.
class PulseSoundEngine final : public SoundEngine
{
  public:
    PulseSoundEngine(const std::atomic<bool>& loop, std::function<void()> onReady);
    ~PulseSoundEngine() override;

    void warmUp() override;
    bool play(const QString& path) override;
    void startWaitingSound() override;

  private:
    bool start(std::unique_ptr<SoundFile> file);

    const std::atomic<bool>& m_loop;
    SoundServer m_server;
    std::unique_ptr<SoundStream> m_stream;
    // A sound asked for before the server was ready, and since when it waits.
    std::unique_ptr<SoundFile> m_waiting;
    QElapsedTimer m_waitingSince;
    SoundFileCache m_files;
};
