#pragma once

#include "beep/SoundRequest.h"

#include <QObject>
#include <memory>

class SoundEngine;

/// The working part of a media player, living in the sound thread: acts on the player's
/// requests through the sound engine, which it loads on first use.
class SoundPlayback : public QObject
{
    Q_OBJECT
  public:
    explicit SoundPlayback(std::shared_ptr<SoundRequest> request);
    ~SoundPlayback() override;

    /// Acts on the latest request if it has not been acted on yet.
    void apply();
    /// Loads the sound engine and connects to the sound server ahead of the first sound.
    void warmUp();

  Q_SIGNALS:
    /// The latest request was acted on; \a started tells whether a sound began (or will, once
    /// the sound server is ready).
    void applied(bool started);

  private:
    SoundEngine* engine();
    void startWaitingSound();

    std::shared_ptr<SoundRequest> m_request;
    quint64 m_appliedSerial = 0;
    std::unique_ptr<SoundEngine> m_engine;
    bool m_engineMissing = false;
};
