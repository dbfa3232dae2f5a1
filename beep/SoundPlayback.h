#pragma once

#include "beep/SoundRequest.h"
#include "beep/SoundServer.h"

#include <QElapsedTimer>
#include <QObject>
#include <memory>

class SoundFile;
class SoundStream;

/// The working part of a media player, living in the sound thread: plays the requested file
/// through the default sound output, one sound at a time.
///
/// Opening and decoding the file happen here and on libpulse's thread, never on the window's
/// thread. A sound asked for while the server connection is still being made starts as soon
/// as it is ready, unless that takes so long that the sound would come noticeably late.
class SoundPlayback : public QObject
{
    Q_OBJECT
  public:
    explicit SoundPlayback(std::shared_ptr<SoundRequest> request);
    ~SoundPlayback() override;

    /// Acts on the latest request if it has not been acted on yet.
    void apply();
    /// Connects to the sound server ahead of the first sound.
    void warmUp();

  Q_SIGNALS:
    /// The latest request was acted on; \a started tells whether a sound began (or will, once
    /// the sound server is ready).
    void applied(bool started);

  private:
    void startWaitingSound();
    bool play(std::unique_ptr<SoundFile> file);

    std::shared_ptr<SoundRequest> m_request;
    quint64 m_appliedSerial = 0;
    SoundServer m_server;
    std::unique_ptr<SoundStream> m_stream;
    // A sound asked for before the server was ready, and since when it waits.
    std::unique_ptr<SoundFile> m_waiting;
    QElapsedTimer m_waitingSince;
};
