#pragma once

#include "beep/PcmSource.h"

#include <QFile>
#include <memory>

/// Reads the samples of an uncompressed WAV file: integer PCM of 8, 16, 24 or 32 bits and
/// 32- or 64-bit floating point, any channel count and rate. 24-bit and 64-bit samples are
/// widened or narrowed on the fly to formats the sound output takes.
class WavSource : public PcmSource
{
    Q_OBJECT
  public:
    /// Parses the header of \a file (open, at any position). Returns null, leaving the file
    /// open, if it is not a WAV file this class can read, so that a decoder may try it.
    static std::unique_ptr<WavSource> create(std::unique_ptr<QFile>& file);

    QAudioFormat format() const override { return m_format; }
    bool isReady() const override { return true; }
    qint64 read(char* data, qint64 maxBytes) override;
    bool atEnd() const override { return m_framesLeft == 0; }
    bool rewind() override;

  private:
    enum class Stored { UInt8, Int16, Int24, Int32, Float32, Float64 };

    WavSource() = default;

    std::unique_ptr<QFile> m_file;
    QAudioFormat m_format;
    Stored m_stored = Stored::Int16;
    int m_storedFrameBytes = 0;
    qint64 m_dataStart = 0;
    qint64 m_frames = 0;
    qint64 m_framesLeft = 0;
    QByteArray m_scratch;
};
