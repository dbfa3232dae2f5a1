#pragma once

#include "beep/PcmSource.h"
#include "beep/SoundRequest.h"

#include <QAudio>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

class QAudioSink;
class QIODevice;

/// The working part of a media player, living in the sound thread: plays the requested file
/// through the default sound output, one sound at a time.
///
/// Samples are pushed to the sound server as soon as the file is open, since a pulled stream
/// starts only on the output's next timer tick (20 ms later with PulseAudio). A sound shorter
/// than the output's buffer is followed by silence up to the buffer's size: the server starts
/// a stream only once its buffer is full.
class SoundPlayback : public QObject
{
    Q_OBJECT
  public:
    explicit SoundPlayback(std::shared_ptr<SoundRequest> request);
    ~SoundPlayback() override;

    /// Acts on the latest request if it has not been acted on yet.
    void apply();
    /// Connects to the sound server ahead of the first sound.
    static void warmUp();

  Q_SIGNALS:
    /// The latest request was acted on; \a started tells whether a sound began.
    void applied(bool started);

  private:
    bool begin(const QString& path);
    void feed();
    bool openOutput();
    void onOutputState(QAudio::State state);
    bool playedOut() const;
    void release();

    std::shared_ptr<SoundRequest> m_request;
    quint64 m_appliedSerial = 0;
    std::unique_ptr<PcmSource> m_source;
    std::unique_ptr<QAudioSink> m_output;
    QIODevice* m_outputDevice = nullptr;
    QByteArray m_pending;
    QTimer m_feeder;
    bool m_draining = false;
    bool m_feeding = false;
    bool m_readSinceRewind = false;
    QElapsedTimer m_sinceProgress;
};
