#include "beep/DecodedSource.h"

#include <QSignalBlocker>
#include <QUrl>
#include <algorithm>
#include <cstring>

DecodedSource::DecodedSource(const QString& path)
{
    connect(&m_decoder, &QAudioDecoder::bufferReady, this, [this] {
        if (!m_format.isValid())
            takeBuffer();
        Q_EMIT dataAvailable();
    });
    connect(&m_decoder, &QAudioDecoder::finished, this, [this] {
        m_finished = true;
        Q_EMIT dataAvailable();
    });
    // Errors stay silent, as the player's error dialogs are off: the sound just ends.
    connect(&m_decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), this, [this] {
        m_finished = true;
        Q_EMIT dataAvailable();
    });
    // By file name, not through a QIODevice: Qt 6.4 decodes only part of a file read from a
    // device.
    m_decoder.setSource(QUrl::fromLocalFile(path));
    m_decoder.start();
}

bool DecodedSource::recognises(const QByteArray& head)
{
    const auto at = [&head](qsizetype offset, const char* magic) {
        return head.mid(offset).startsWith(magic);
    };
    const bool mpegFrameSync = head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF &&
                               (static_cast<unsigned char>(head[1]) & 0xE0) == 0xE0;
    return (at(0, "RIFF") && at(8, "WAVE")) || at(0, "RF64") || at(0, "BW64") ||
           at(0, "riff") ||                  // Wave64
           at(0, "OggS") || at(0, "fLaC") || // Ogg (Vorbis, Opus, FLAC), FLAC
           at(0, "ID3") || mpegFrameSync ||  // MP3, MPEG audio, ADTS AAC
           (at(0, "FORM") && (at(8, "AIFF") || at(8, "AIFC"))) || at(0, ".snd") || at(0, "wvpk") ||
           at(0, "caff") || at(4, "ftyp") || // WavPack, CAF, MP4/M4A
           at(0, "#!AMR") || at(0, "Creative Voice File") || at(0, "MAC ") || at(0, "TTA1") ||
           at(0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11") || // ASF (WMA)
           at(0, "\x1A\x45\xDF\xA3");                   // Matroska, WebM
}

DecodedSource::~DecodedSource()
{
    m_decoder.stop();
}

void DecodedSource::takeBuffer()
{
    QAudioBuffer next = m_decoder.read();
    if (!next.isValid())
        return;
    if (!m_format.isValid())
        m_format = next.format();
    // The output was opened for the first buffer's format; a stream that changes format
    // midway is cut off there rather than played as noise.
    if (next.format() != m_format) {
        m_finished = true;
        m_decoder.stop();
        return;
    }
    m_buffer = next;
    m_offset = 0;
}

qint64 DecodedSource::read(char* data, qint64 maxBytes)
{
    qint64 copied = 0;
    const int frameBytes = std::max(m_format.bytesPerFrame(), 1);
    maxBytes -= maxBytes % frameBytes;
    while (copied < maxBytes) {
        if (m_offset >= m_buffer.byteCount()) {
            if (!m_decoder.bufferAvailable())
                break;
            takeBuffer();
            if (m_offset >= m_buffer.byteCount())
                break;
        }
        const qint64 n = std::min(maxBytes - copied, m_buffer.byteCount() - m_offset);
        std::memcpy(data + copied, m_buffer.constData<char>() + m_offset, n);
        m_offset += n;
        copied += n;
    }
    return copied;
}

bool DecodedSource::atEnd() const
{
    return m_finished && m_offset >= m_buffer.byteCount() && !m_decoder.bufferAvailable();
}

bool DecodedSource::rewind()
{
    {
        // stop() reports the old run as finished; that end is not the new run's.
        const QSignalBlocker quiet(m_decoder);
        m_decoder.stop();
    }
    m_buffer = {};
    m_offset = 0;
    m_finished = false;
    m_decoder.start();
    return true;
}
