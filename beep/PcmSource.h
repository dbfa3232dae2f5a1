#pragma once

#include <QAudioFormat>
#include <QObject>
#include <QString>
#include <memory>

/// A sound file decoded to raw samples, read piece by piece as the sound output takes them.
/// Lives in the sound thread.
class PcmSource : public QObject
{
    Q_OBJECT
  public:
    /// Opens \a path for playing: a PCM or floating-point WAV file is read directly, anything
    /// else goes through Qt's audio decoder. Returns null with \a whyNot set if the file cannot
    /// be opened. Never blocks on special files (FIFOs, devices), which it refuses.
    static std::unique_ptr<PcmSource> open(const QString& path, QString* whyNot);

    /// The sample format of the data that read() gives; valid once isReady().
    virtual QAudioFormat format() const = 0;
    /// True once the format is known and data can be read.
    virtual bool isReady() const = 0;
    /// Copies up to \a maxBytes (whole frames) of samples; 0 when none are available yet or
    /// the end has been reached.
    virtual qint64 read(char* data, qint64 maxBytes) = 0;
    /// True when no more samples will come.
    virtual bool atEnd() const = 0;
    /// Starts again from the first sample (for looping); false if that is impossible.
    virtual bool rewind() = 0;

  Q_SIGNALS:
    /// More samples may be available, the format became known, or the end was reached.
    void dataAvailable();
};
