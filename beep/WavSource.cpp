#include "beep/WavSource.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;

struct FmtChunk
{
    quint16 tag = 0;
    int channels = 0;
    int rate = 0;
    int blockAlign = 0;
};

quint16 le16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 le32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}

} // namespace

std::unique_ptr<WavSource> WavSource::create(std::unique_ptr<QFile>& file)
{
    char riff[12];
    if (!file->seek(0) || file->read(riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return nullptr;

    FmtChunk fmt;
    bool haveFmt = false;
    const qint64 fileSize = file->size();
    for (;;) {
        char header[8];
        if (file->read(header, 8) != 8)
            return nullptr;
        const quint32 size = le32(header + 4);
        const qint64 body = file->pos();
        if (std::memcmp(header, "fmt ", 4) == 0) {
            char raw[40] = {};
            const qint64 wanted = std::min<qint64>(size, sizeof raw);
            if (size < 16 || file->read(raw, wanted) != wanted)
                return nullptr;
            fmt.tag = le16(raw);
            fmt.channels = le16(raw + 2);
            fmt.rate = static_cast<int>(std::min<quint32>(le32(raw + 4), 1'000'000));
            fmt.blockAlign = le16(raw + 12);
            if (fmt.tag == kFormatExtensible && size >= 40)
                fmt.tag = le16(raw + 24); // first two bytes of the sub-format GUID
            haveFmt = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFmt || fmt.channels < 1 || fmt.channels > 8 || fmt.rate < 1000 ||
                fmt.blockAlign % fmt.channels != 0)
                return nullptr;
            const int width = fmt.blockAlign / fmt.channels;
            std::unique_ptr<WavSource> source(new WavSource);
            QAudioFormat::SampleFormat out = QAudioFormat::Unknown;
            if (fmt.tag == kFormatPcm && width == 1) {
                source->m_stored = Stored::UInt8;
                out = QAudioFormat::UInt8;
            } else if (fmt.tag == kFormatPcm && width == 2) {
                source->m_stored = Stored::Int16;
                out = QAudioFormat::Int16;
            } else if (fmt.tag == kFormatPcm && width == 3) {
                source->m_stored = Stored::Int24;
                out = QAudioFormat::Int32;
            } else if (fmt.tag == kFormatPcm && width == 4) {
                source->m_stored = Stored::Int32;
                out = QAudioFormat::Int32;
            } else if (fmt.tag == kFormatFloat && width == 4) {
                source->m_stored = Stored::Float32;
                out = QAudioFormat::Float;
            } else if (fmt.tag == kFormatFloat && width == 8) {
                source->m_stored = Stored::Float64;
                out = QAudioFormat::Float;
            } else {
                return nullptr; // compressed: the decoder's job
            }
            source->m_format.setSampleRate(fmt.rate);
            source->m_format.setChannelCount(fmt.channels);
            source->m_format.setSampleFormat(out);
            source->m_storedFrameBytes = fmt.blockAlign;
            source->m_dataStart = body;
            // A truncated file (or a streaming header with a huge size) plays what is there.
            const qint64 available = std::min<qint64>(size, fileSize - body);
            source->m_frames = std::max<qint64>(available, 0) / fmt.blockAlign;
            source->m_framesLeft = source->m_frames;
            source->m_file = std::move(file);
            return source;
        }
        // Chunks are padded to an even size.
        if (!file->seek(body + size + (size & 1)))
            return nullptr;
    }
}

qint64 WavSource::read(char* data, qint64 maxBytes)
{
    const int outFrameBytes = m_format.bytesPerFrame();
    const qint64 frames = std::min(maxBytes / outFrameBytes, m_framesLeft);
    if (frames <= 0)
        return 0;
    const qint64 wanted = frames * m_storedFrameBytes;
    const bool widthChanges = m_stored == Stored::Int24 || m_stored == Stored::Float64;
    char* target = data;
    if (widthChanges) {
        m_scratch.resize(wanted);
        target = m_scratch.data();
    }
    const qint64 got = m_file->read(target, wanted);
    if (got <= 0) {
        m_framesLeft = 0;
        return 0;
    }
    const qint64 framesRead = got / m_storedFrameBytes;
    m_framesLeft = framesRead < frames ? 0 : m_framesLeft - framesRead;
    const qint64 samples = framesRead * m_format.channelCount();
    if (m_stored == Stored::Int24) {
        auto* out = reinterpret_cast<qint32*>(data);
        for (qint64 i = 0; i < samples; ++i) {
            const auto* s = reinterpret_cast<const unsigned char*>(target + 3 * i);
            out[i] = static_cast<qint32>((quint32(s[0]) << 8) | (quint32(s[1]) << 16) |
                                         (quint32(s[2]) << 24));
        }
    } else if (m_stored == Stored::Float64) {
        auto* out = reinterpret_cast<float*>(data);
        for (qint64 i = 0; i < samples; ++i)
            out[i] = static_cast<float>(qFromLittleEndian<double>(target + 8 * i));
    }
    return framesRead * outFrameBytes;
}

bool WavSource::rewind()
{
    if (!m_file->seek(m_dataStart))
        return false;
    m_framesLeft = m_frames;
    return true;
}
