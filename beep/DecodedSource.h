#pragma once

#include "beep/PcmSource.h"

#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QString>

/// Samples of a compressed sound file (Ogg, FLAC, MP3, compressed WAV...) from Qt's audio
/// decoder. The decoder only works ahead by one buffer: it waits until the previous buffer
/// has been read, so a long file never piles up in memory.
class DecodedSource : public PcmSource
{
    Q_OBJECT
  public:
    /// Starts decoding the file at \a path.
    explicit DecodedSource(const QString& path);

    /// True if \a head, the first bytes of a file, begins like a sound file the decoder
    /// reads. Anything else is kept from it: Qt 6.4 leaks a megabyte each time it gives up
    /// probing a large file that is not sound, and may never report an error for one.
    static bool recognises(const QByteArray& head);
    ~DecodedSource() override;

    QAudioFormat format() const override { return m_format; }
    bool isReady() const override { return m_format.isValid(); }
    qint64 read(char* data, qint64 maxBytes) override;
    bool atEnd() const override;
    bool rewind() override;

  private:
    void takeBuffer();

    QAudioDecoder m_decoder;
    QAudioFormat m_format;
    QAudioBuffer m_buffer;
    qint64 m_offset = 0;
    bool m_finished = false;
};
