#pragma once

#include <QByteArray>
#include <QtEndian>

/// Builds WAV files byte by byte, so that tests can give exact sample values and odd headers.
namespace WavBytes {

inline QByteArray le(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
    return out;
}

inline QByteArray chunk(const char* id, const QByteArray& body, quint32 declaredSize = 0)
{
    QByteArray out(id, 4);
    out += le(declaredSize ? declaredSize : body.size(), 4);
    out += body;
    if (body.size() % 2)
        out.append('\0');
    return out;
}

inline QByteArray fmt(quint16 tag, int channels, int rate, int bitsPerSample, int blockAlign)
{
    return chunk("fmt ", le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * blockAlign, 4) +
                             le(blockAlign, 2) + le(bitsPerSample, 2));
}

/// A WAVE_FORMAT_EXTENSIBLE format chunk whose sub-format GUID starts with \a subTag.
inline QByteArray fmtExtensible(quint16 subTag, int channels, int rate, int bits, int blockAlign)
{
    static const char guidTail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";
    return chunk("fmt ", le(0xFFFE, 2) + le(channels, 2) + le(rate, 4) + le(rate * blockAlign, 4) +
                             le(blockAlign, 2) + le(bits, 2) + le(22, 2) + le(bits, 2) +
                             le(channels == 1 ? 4 : 3, 4) + le(subTag, 2) +
                             QByteArray(guidTail, 14));
}

inline QByteArray riff(const QByteArray& chunks)
{
    return QByteArray("RIFF") + le(4 + chunks.size(), 4) + QByteArray("WAVE") + chunks;
}

} // namespace WavBytes
